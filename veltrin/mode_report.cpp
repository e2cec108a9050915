#include "veltrin/mode_report.h"

#include <QFile>
#include <algorithm>
#include <filesystem>

namespace veltrin {

QByteArray modeReport(const QStringList& names, const QStringList& contents) {
    qsizetype longest = 0;
    for (const QString& name : names) longest = std::max(longest, name.size());
    QByteArray out = "Mode\t\t\tContent\r\n\r\n";
    for (qsizetype i = 0; i < names.size(); ++i) {
        out += names[i].toLatin1();
        out += QByteArray(longest - names[i].size(), ' ');
        out += "  = ";
        out += contents.value(i).toLatin1();
        out += "\r\n";
    }
    return out;
}

bool writeModeReport(const QString& fileName, const QStringList& names,
                     const QStringList& contents) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray report = modeReport(names, contents);
    const bool written = file.write(report) == report.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        // Only a plain file is removed: a device or pipe chosen as the
        // report is never deleted.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(file.fileName().toStdString(), ignored))
            file.remove();
        return false;
    }
    return true;
}

}  // namespace veltrin
