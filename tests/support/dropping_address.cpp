// SPDX-License-Identifier: Apache-2.0
#include "tests/support/dropping_address.h"

#include <chrono>
#include <optional>

#include "protocol/frame.h"

namespace support {

DroppingAddress::DroppingAddress(const std::string& address) {
    std::optional<platform::Ipv4> ip = platform::lookupHost(address);
    listener_ = platform::createTcpSocket();
    if (!ip || !listener_ || !platform::setReuseAddress(listener_) ||
        !platform::bindTo(listener_, protocol::kUnitPort, *ip) || !platform::listenOn(listener_, 0)) {
        return;
    }
    // A backlog of 0 holds one finished connection; a few tries fill it.
    for (int i = 0; i < 8 && !dropping_; ++i) {
        platform::Socket filler = platform::createTcpSocket();
        if (platform::connectWithTimeout(filler, *ip, protocol::kUnitPort,
                                    std::chrono::milliseconds(300), platform::OnRefusal::FailAtOnce)) {
            queued_.push_back(std::move(filler));
        } else {
            dropping_ = true;  // no answer, not a refusal: the queue is full
        }
    }
}

}  // namespace support
