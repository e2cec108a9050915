#include "tests/tarnix/scripted_unit.h"

#include <chrono>

#include "protocol/frame.h"

namespace tarnix_test {

namespace {

constexpr std::chrono::seconds kPatience{5};

}  // namespace

Bytes frameOf(std::string_view code, std::string_view body) {
    Bytes frame(8 + body.size());
    protocol::writeBE32(frame.data(), static_cast<std::uint32_t>(frame.size()));
    for (std::size_t i = 0; i < 4; ++i) frame[4 + i] = static_cast<std::uint8_t>(code[i]);
    for (std::size_t i = 0; i < body.size(); ++i) frame[8 + i] = static_cast<std::uint8_t>(body[i]);
    return frame;
}

Bytes modeReply(std::string_view text) {
    std::string body(text);
    body += '\0';
    return frameOf("MODR", body);
}

ScriptedUnit::ScriptedUnit(const std::string& address, std::vector<Bytes> replies)
    : replies_(std::move(replies)) {
    auto ip = net::lookupHost(address);
    net::Socket socket = net::createTcpSocket();
    if (!ip || !socket || !net::setReuseAddress(socket) ||
        !net::bindTo(socket, protocol::kUnitPort, *ip) || !net::listenOn(socket, 1)) {
        return;
    }
    // accept() honours the receive time-out, so a test that never connects
    // cannot hold the thread.
    net::setReceiveTimeout(socket, kPatience);
    listener_ = std::move(socket);
    thread_ = std::thread([this] { serve(); });
}

ScriptedUnit::~ScriptedUnit() {
    if (thread_.joinable())
        thread_.join();
}

std::vector<Bytes> ScriptedUnit::received() {
    if (thread_.joinable())
        thread_.join();
    return received_;
}

void ScriptedUnit::serve() {
    net::Socket connection = net::acceptFrom(listener_);
    if (!connection)
        return;
    net::setReceiveTimeout(connection, kPatience);
    for (const Bytes& reply : replies_) {
        std::uint8_t head[4];
        if (net::receiveExactly(connection, head, 4) != net::ReceiveStatus::Complete)
            return;
        std::uint32_t length = protocol::readBE32(head);
        if (length < 8 || length > 1 << 20)
            return;
        Bytes frame(head, head + 4);
        frame.resize(length);
        if (net::receiveExactly(connection, frame.data() + 4, length - 4) !=
            net::ReceiveStatus::Complete) {
            return;
        }
        received_.push_back(std::move(frame));
        if (!net::sendAll(connection, reply.data(), reply.size()))
            return;
    }
}

}  // namespace tarnix_test
