// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/http_types.h"

#include "protocol/escapes.h"

namespace unitfleetd {
namespace {

bool decode(std::string_view in, bool plusIsSpace, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%') {
            if (i + 2 >= in.size())
                return false;
            int hi = protocol::hexDigit(in[i + 1]), lo = protocol::hexDigit(in[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (in[i] == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += in[i];
        }
    }
    return true;
}

}  // namespace

bool splitTarget(const std::string& target, std::string& path,
                 std::map<std::string, std::string>& query) {
    auto mark = target.find('?');
    if (!decode(std::string_view(target).substr(0, mark), false, path))
        return false;
    if (mark == std::string::npos)
        return true;
    std::string_view rest = std::string_view(target).substr(mark + 1);
    while (!rest.empty()) {
        auto amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        if (pair.empty())
            continue;
        auto eq = pair.find('=');
        std::string name, value;
        if (!decode(pair.substr(0, eq), true, name))
            return false;
        if (eq != std::string_view::npos && !decode(pair.substr(eq + 1), true, value))
            return false;
        query[name] = value;
    }
    return true;
}

}  // namespace unitfleetd
