// SPDX-License-Identifier: Apache-2.0
// Any "mibbetdata.dat": parsed whole, then asked for keys taken from its own
// first line (so that keys which are there get found) and for the empty key.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mibbet/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    mibbet::Answers answers = mibbet::Answers::parse(content);
    std::string_view firstLine = content.substr(0, content.find('\n'));
    volatile std::size_t sink = answers.size();
    for (std::size_t tab = firstLine.find('\t'); tab != std::string_view::npos;
         tab = firstLine.find('\t', tab + 1)) {
        if (auto value = answers.find(firstLine.substr(0, tab)))
            sink = sink + value->size();
    }
    if (auto value = answers.find(""))
        sink = sink + value->size();
    (void)sink;
    return 0;
}
