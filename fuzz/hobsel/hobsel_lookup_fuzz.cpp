// SPDX-License-Identifier: Apache-2.0
// Data file look-ups: the first input line is the key, the rest the data
// file. The first byte chooses history on or off, the touch point and the
// key code, so touch records and key templates are reached too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hobsel/context.h"
#include "hobsel/lookup.h"

namespace {

std::string dataPath() {
    static const std::string path = "/tmp/hobsel_lookup_fuzz." + std::to_string(::getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    std::uint8_t mode = data[0];
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t feed = input.find('\n');
    std::string key = input.substr(0, feed);
    std::string content = feed == std::string::npos ? std::string() : input.substr(feed + 1);

    std::FILE* file = std::fopen(dataPath().c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);

    static std::FILE* sink = std::fopen("/dev/null", "w");
    hobsel::Context context;
    context.out = sink;
    context.settings.verbosity = 3;
    context.settings.dataFile = dataPath();
    context.touchPoint = {mode & 0x0F, (mode >> 4) & 0x07};
    context.keyCode = mode;
    std::size_t capacity = (mode & 0x80) ? 8192 : 1 + mode % 64;
    std::vector<char> output(capacity, 'z');
    for (int scan = 0; scan < 3; ++scan) {
        int n = hobsel::lookupRecord(context, key, output.data(), capacity, (mode & 1) != 0);
        if (n < 0 || (n > 0 && std::string(output.data()).size() >= capacity))
            __builtin_trap();
    }
    return 0;
}
