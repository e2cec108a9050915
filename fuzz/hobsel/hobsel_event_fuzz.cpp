// SPDX-License-Identifier: Apache-2.0
// Event frames through processEvent against a data file from the input,
// with the answers recorded instead of sent. Input: a settings byte, the
// first 40 bytes of the frame, then the data file. A scan of "B" comes
// first, so prints can be armed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hobsel/context.h"
#include "hobsel/listener.h"
#include "hobsel/seams.h"

namespace {

constexpr std::size_t kFrameBytes = 40;

std::string dataPath() {
    static const std::string path = "/tmp/hobsel_event_fuzz." + std::to_string(::getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 + kFrameBytes)
        return 0;
    std::uint8_t flags = data[0];
    std::FILE* file = std::fopen(dataPath().c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data + 1 + kFrameBytes, 1, size - 1 - kFrameBytes, file);
    std::fclose(file);

    static std::FILE* sink = std::fopen("/dev/null", "w");
    hobsel::Context c;
    c.out = sink;
    c.settings.verbosity = 3;
    c.settings.console = true;
    c.settings.dataFile = dataPath();
    c.settings.eventPrinting = flags & 1;
    c.settings.bareKey = flags & 2;
    c.settings.threshold = (flags >> 4) - 2;
    std::time_t now = 1000;
    c.clock = [&now] { return now; };
    c.sleep = [](std::chrono::milliseconds) {};
    int answers = 0;
    c.forwardHook = [&answers](const hobsel::EventAnswer& a) {
        ++answers;
        if (a.length == 0 || a.length > hobsel::kRequestSize || a.record[a.length - 1] != '\0' ||
            std::strlen(a.record) + 1 > a.length)
            __builtin_trap();
    };

    std::vector<char> request(hobsel::kRequestSize + 1, '\0');
    request[0] = 'B';
    hobsel::serveRequest(c, request.data(), nullptr, 0);
    c.settings.console = false;

    std::vector<std::uint8_t> frame(hobsel::kRequestSize, 0);
    std::memcpy(frame.data(), data + 1, kFrameBytes);
    for (int round = 0; round < 3; ++round) {
        std::vector<char> work(hobsel::kRequestSize, 'w');
        now += flags & 0x0C;
        hobsel::processEvent(c, frame, 0, work);
    }
    // A frame cut short reads its missing fields as zero.
    std::vector<char> work(hobsel::kRequestSize);
    hobsel::processEvent(c, {frame.data(), 1 + flags % kFrameBytes}, 0, work);
    (void)answers;
    return 0;
}
