// SPDX-License-Identifier: Apache-2.0
// Any bytes as a help file: the reader must end, stay in bounds and never
// make more text than it was given.
#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frontends/veltrin/rtf/rtf_reader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Text documents use fonts, and fonts need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QTextDocument document;
    veltrin::readRtf(QByteArrayView(data, static_cast<qsizetype>(size)), document);
    // Every character of the document comes from at least one input byte;
    // the document always holds one closing paragraph mark.
    if (static_cast<std::size_t>(document.characterCount()) > size + 1)
        std::abort();
    return 0;
}
