// SPDX-License-Identifier: Apache-2.0
#include "ui/qt/text.h"

namespace ui::qt {

QString widen(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string narrow(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace ui::qt
