// SPDX-License-Identifier: Apache-2.0
#include "platform/utf16.h"

namespace platform {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the sequence a lead byte starts and the bits it carries;
// 0 for a byte that cannot start one (a continuation byte, C0, C1, F5-FF).
int sequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) {
        bits = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        bits = lead & 0x1F;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        bits = lead & 0x0F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        bits = lead & 0x07;
        return 4;
    }
    return 0;
}

// The smallest code point each length may carry: anything below is an
// overlong form of a shorter sequence.
constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

std::optional<std::wstring> utf16FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t point = 0;
        const int length = sequenceLength(static_cast<unsigned char>(text[at]), point);
        if (length == 0 || text.size() - at < static_cast<std::size_t>(length))
            return std::nullopt;
        for (int i = 1; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(text[at + i]);
            if (!isContinuation(byte))
                return std::nullopt;
            point = (point << 6) | (byte & 0x3F);
        }
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return std::nullopt;
        if (point >= 0x10000) {
            point -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(point));
        }
        at += static_cast<std::size_t>(length);
    }
    return out;
}

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string bytes = path.u8string();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace platform
