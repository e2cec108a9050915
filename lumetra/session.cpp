// SPDX-License-Identifier: Apache-2.0
#include "lumetra/session.h"

#include <cstdio>
#include <new>
#include <string>

#include "protocol/payload.h"

namespace lumetra {

Session& session() {
    static Session instance;
    return instance;
}

bool Session::connect(const char* unitAddress) {
    // A connection left open would otherwise leak its socket.
    socket_.close();
    if (unitAddress == nullptr)
        return false;
    if (!started_) {
        if (platform::startup() != 0)
            return false;
        started_ = true;
    }
    platform::Socket socket = platform::createTcpSocket();
    if (!socket)
        return false;
    std::optional<platform::Ipv4> address = platform::lookupHost(unitAddress);
    if (!address)
        return false;
    if (!platform::connectWithTimeout(socket, *address, protocol::kUnitPort, kConnectTimeout)) {
        return false;
    }
    if (!platform::setSendTimeout(socket, sendTimeout_))
        return false;
    if (buffer_ == nullptr) {
        buffer_.reset(new (std::nothrow) std::uint8_t[kFrameBufferSize]);
        if (buffer_ == nullptr)
            return false;
    }
    socket_ = std::move(socket);
    return true;
}

void Session::close() {
    socket_.close();
    buffer_.reset();
}

protocol::Bytes Session::buffer() {
    if (buffer_ == nullptr)
        return {};
    return {buffer_.get(), kFrameBufferSize};
}

bool Session::sendFrame(std::size_t length) {
    if (!isOpen() || length == 0 || length > kFrameBufferSize)
        return false;
    return sendFrame(protocol::ConstBytes(buffer_.get(), length));
}

bool Session::sendFrame(protocol::ConstBytes frame) {
    if (!socket_.valid())
        return false;
    if (protocol::sendFrame(socket_, frame))
        return true;
    std::printf("\nError sending..\n");
    std::fflush(stdout);
    return false;
}

bool Session::sendQuery(std::string_view text) {
    if (!isOpen())
        return false;
    return protocol::sendQuery(socket_, buffer(), text);
}

protocol::ReplyStatus Session::receiveReply() {
    if (!isOpen())
        return protocol::ReplyStatus::Failed;
    protocol::ReplyStatus status = protocol::receiveReply(socket_, buffer(), receiveTimeout_);
    if (status == protocol::ReplyStatus::Failed)
        close();
    return status;
}

std::optional<protocol::FrameView> Session::reply() const {
    if (buffer_ == nullptr)
        return std::nullopt;
    return protocol::FrameView::from(protocol::ConstBytes(buffer_.get(), kFrameBufferSize));
}

std::string_view Session::replyText() const {
    std::optional<protocol::FrameView> frame = reply();
    return frame ? frame->bodyText() : std::string_view{};
}

}  // namespace lumetra
