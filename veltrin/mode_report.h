// The mode report: the grid's names and Content column as a text file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace veltrin {

// "Mode", three TABs, "Content"; an empty line; then per row the name padded
// with spaces to the longest name, "  = " and the content. CR LF line ends;
// the texts go back to the 8-bit bytes they were widened from.
QByteArray modeReport(const QStringList& names, const QStringList& contents);

// Writes the report to `fileName`, replacing what it held. False when the
// file cannot be created or written; a file left incomplete is removed.
bool writeModeReport(const QString& fileName, const QStringList& names,
                     const QStringList& contents);

}  // namespace veltrin
