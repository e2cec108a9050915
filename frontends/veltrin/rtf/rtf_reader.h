// SPDX-License-Identifier: Apache-2.0
// A small RTF reader for the help pane: the part of RTF that a help file
// uses, read into a QTextDocument as rich text.
#pragma once

#include <QByteArrayView>

class QTextDocument;

namespace veltrin {

// Replaces the document's content with the text of `rtf`. Understood:
// groups, \par \line \tab, \b \i \ul \strike (and their "0" forms, \ulnone),
// \fs, \f with \fonttbl and \deff, \cf \cb \highlight with \colortbl,
// \plain, \pard, \ql \qc \qr \qj, \li \ri \fi \sb \sa, \super \sub,
// \'hh as Windows-1252, \u with its \uc fallback, escaped \\ \{ \}, and a
// few named characters (\bullet, \emdash, quotes). Destinations such as
// \*, \info, \stylesheet and \pict are skipped; other words are ignored.
//
// Returns false when the input does not start as RTF, is cut off, has
// unbalanced groups or nests deeper than the reader allows; the document
// then keeps what was read up to that point. Time and memory are linear in
// the size of the input, and nothing recurses.
bool readRtf(QByteArrayView rtf, QTextDocument& document);

}  // namespace veltrin
