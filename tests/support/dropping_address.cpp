#include "tests/support/dropping_address.h"

#include <chrono>
#include <optional>

#include "protocol/frame.h"

namespace support {

DroppingAddress::DroppingAddress(const std::string& address) {
    std::optional<net::Ipv4> ip = net::lookupHost(address);
    listener_ = net::createTcpSocket();
    if (!ip || !listener_ || !net::setReuseAddress(listener_) ||
        !net::bindTo(listener_, protocol::kUnitPort, *ip) || !net::listenOn(listener_, 0)) {
        return;
    }
    // A backlog of 0 holds one finished connection; a few tries fill it.
    for (int i = 0; i < 8 && !dropping_; ++i) {
        net::Socket filler = net::createTcpSocket();
        if (net::connectWithTimeout(filler, *ip, protocol::kUnitPort,
                                    std::chrono::milliseconds(300), net::OnRefusal::FailAtOnce)) {
            queued_.push_back(std::move(filler));
        } else {
            dropping_ = true;  // no answer, not a refusal: the queue is full
        }
    }
}

}  // namespace support
