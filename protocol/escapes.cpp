// SPDX-License-Identifier: Apache-2.0
#include "protocol/escapes.h"

namespace protocol {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

namespace {

char controlFor(char c) {
    switch (c) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        default: return 0;
    }
}

}  // namespace

std::size_t decodeControlEscapes(char* text, std::size_t length) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < length; ++in) {
        char control = in + 1 < length && text[in] == '\\' ? controlFor(text[in + 1]) : 0;
        if (control != 0) {
            text[out++] = control;
            ++in;
        } else {
            text[out++] = text[in];
        }
    }
    return out;
}

std::size_t decodeHexEscapes(char* text, std::size_t length) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < length; ++in) {
        if (in + 3 < length && text[in] == '\\' && text[in + 1] == 'x') {
            int high = hexDigit(text[in + 2]);
            int low = hexDigit(text[in + 3]);
            if (high >= 0 && low >= 0) {
                text[out++] = static_cast<char>(high * 16 + low);
                in += 3;
                continue;
            }
        }
        text[out++] = text[in];
    }
    return out;
}

}  // namespace protocol
