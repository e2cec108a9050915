// SPDX-License-Identifier: Apache-2.0
#include "protocol/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace protocol {

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void trimRight(std::string& text) {
    std::size_t n = text.size();
    while (n > 0 && isWhite(text[n - 1])) --n;
    text.resize(n);
}

std::string_view trimRight(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && isWhite(text[n - 1])) --n;
    return text.substr(0, n);
}

void trimRight(char* text) {
    std::size_t n = std::strlen(text);
    while (n > 0 && isWhite(text[n - 1])) text[--n] = '\0';
}

void copyString(std::string& slot, const char* source, std::size_t length) {
    if (source == nullptr) {
        std::fputs("copyString pass a NULL pointer\n", stderr);
        std::exit(1);
    }
    try {
        slot.assign(source, strnlen(source, length));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "copyString failed to get %d bytes\n", static_cast<int>(length));
        std::exit(1);
    }
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::size_t spanOf(std::string_view text, const CharSet& set) {
    std::size_t n = 0;
    while (n < text.size() && set.contains(text[n])) ++n;
    return n;
}

std::size_t spanUntil(std::string_view text, const CharSet& set) {
    std::size_t n = 0;
    while (n < text.size() && !set.contains(text[n])) ++n;
    return n;
}

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace protocol
