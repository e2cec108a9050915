// SPDX-License-Identifier: Apache-2.0
// Texts between the suite's 8-bit bytes (the library, the unit, the report
// file) and what the Qt widgets show: through the locale's encoding, as the
// Windows views go through the system code page. The one pair every Qt view
// uses for every such text.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ui::qt {

QString widen(std::string_view bytes);
// A character the locale's encoding cannot hold comes out as that
// encoding's replacement, never as the bytes of another encoding.
std::string narrow(const QString& text);

}  // namespace ui::qt
