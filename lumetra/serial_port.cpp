// SPDX-License-Identifier: Apache-2.0
#include "lumetra/serial_port.h"

#include <cstdio>
#include <string_view>

#include "lumetra/lumetra.h"
#include "lumetra/session.h"
#include "protocol/payload.h"

namespace lumetra {

namespace {

char firstOf(const char* text) {
    return text != nullptr ? text[0] : '\0';
}

const char* stopBitWord(std::int16_t stopBits) {
    return stopBits == 1 ? "-cstopb" : "cstopb";
}

const char* parityWord(const char* parity) {
    switch (firstOf(parity)) {
        case 'E':
            return "parenb -parodd";
        case 'O':
            return "parenb parodd";
        default:
            return "-parenb";
    }
}

const char* flowWord(const char* flow) {
    switch (firstOf(flow)) {
        case 'H':
            return "clocal crtscts -ixon";
        case 'X':
            return "clocal ixon -crtscts";
        default:
            return "clocal -crtscts -ixon";
    }
}

int16_t sendSettings(const char* unitAddress, const SerialSettings& settings) {
    std::string line = sttyLine(settings);
    Session& s = session();
    if (!s.connect(unitAddress)) {
        s.close();
        return 0;
    }
    protocol::ConstBytes content(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    std::size_t length =
        protocol::buildFileFrame(s.buffer(), protocol::kFileKindFile, kSerialSettingsFile, content);
    bool sent = s.sendFrame(length);
    s.close();
    return sent ? 1 : 0;
}

}  // namespace

std::string sttyLine(const SerialSettings& settings) {
    char line[256];
    int n = std::snprintf(line, sizeof line,
                          "stty -F /dev/ttyS0 ispeed %d ospeed %d cs%d %s %s icrnl hupcl -icanon "
                          "%s cread -echo -echoe -echok min 1\n",
                          static_cast<int>(settings.speed), static_cast<int>(settings.speed),
                          static_cast<int>(settings.dataBits), stopBitWord(settings.stopBits),
                          parityWord(settings.parity), flowWord(settings.flowControl));
    return std::string(line, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace lumetra

extern "C" {

LUMETRA_API int16_t LUMETRA_CALL Fennick(const char* unitAddress, int32_t speed, int16_t dataBits,
                                         const char* parity, int16_t stopBits,
                                         const char* flowControl) {
    return lumetra::guarded<int16_t>(0, [&]() -> int16_t {
        try {
            return lumetra::sendSettings(unitAddress,
                                         {speed, dataBits, parity, stopBits, flowControl});
        } catch (...) {
            lumetra::session().close();
            throw;
        }
    });
}

}  // extern "C"
