// SPDX-License-Identifier: Apache-2.0
#include "tests/hobsel/hobsel_server.h"

#include <chrono>

namespace hobsel_test {

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string textOf(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

HobselServer::HobselServer(std::uint16_t port, const std::vector<std::string>& args,
                           const std::string& data, const std::string& unitNet)
    : port_(port), unitNet_(unitNet), dir_(support::makeTempDir("hobsel")) {
    support::writeFile(dir_ + "/data.dat", data);
    std::vector<std::string> argv{HOBSEL_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(std::to_string(port));
    process_ = std::make_unique<support::Background>(argv, dir_);
    ready_ = support::waitForPort("127.0.0.1", port, std::chrono::seconds(10));
}

unitsim::HostTarget HobselServer::unit(int last) const {
    unitsim::HostTarget target;
    target.host = "127.0.0.1";
    target.port = port_;
    target.from = unitNet_ + std::to_string(last);
    target.timeout = std::chrono::milliseconds(5000);
    return target;
}

Bytes HobselServer::barcode(const std::string& text, int last) const {
    return unitsim::sendBarcodeText(unit(last), text).bytes;
}

}  // namespace hobsel_test
