// SPDX-License-Identifier: Apache-2.0
#include "checkers/status_exchange.h"

#include <cstring>
#include <ctime>
#include <new>

#include "protocol/frame.h"
#include "protocol/payload.h"
#include "protocol/reply_message.h"

namespace checkers {

MessageBuffer MessageBuffer::allocate() {
    MessageBuffer buffer;
    buffer.bytes_.reset(new (std::nothrow) std::uint8_t[kMessageBufferSize]);
    if (buffer.valid())
        buffer.clear();
    return buffer;
}

void MessageBuffer::clear() {
    std::memset(bytes_.get(), 0, kMessageBufferSize);
}

bool sendStatusQuery(const platform::Socket& socket, MessageBuffer& buffer, std::FILE* out) {
    buffer.clear();
    std::size_t length = protocol::buildQuery(buffer.bytes(), kStatusMode);
    if (platform::sendAll(socket, buffer.bytes().data(), length))
        return true;
    std::fprintf(out, "\nError sending..\n");
    return false;
}

protocol::ReplyFailure receiveStatusReply(const platform::Socket& socket, MessageBuffer& buffer,
                                          std::chrono::milliseconds timeout,
                                          std::string_view& text) {
    buffer.clear();
    text = {};
    // Frames of 2048 bytes and more are refused: one byte less than the buffer.
    protocol::Bytes room = buffer.bytes().first(kMessageBufferSize - 1);
    protocol::ReplyFailure why = protocol::ReplyFailure::None;
    if (protocol::receiveReply(socket, room, timeout, protocol::ReplyMode::SkipKeepAlives, &why) ==
        protocol::ReplyStatus::Failed) {
        return why;
    }
    auto frame = protocol::FrameView::from(room);
    if (frame)
        text = frame->bodyText();
    return protocol::ReplyFailure::None;
}

bool exchangeStatus(const platform::Socket& socket, MessageBuffer& buffer, std::FILE* out,
                    const Exchange& exchange, const std::function<void()>& afterSend) {
    // A failed send still leaves the unit a chance to answer what it got.
    sendStatusQuery(socket, buffer, out);
    if (afterSend)
        afterSend();
    std::string_view text;
    protocol::ReplyFailure why = receiveStatusReply(socket, buffer, exchange.timeout, text);
    if (why != protocol::ReplyFailure::None) {
        protocol::ReplyReader reader{exchange.program, exchange.address, exchange.timeout,
                                     kMessageBufferSize - 1};
        std::fputs(protocol::replyFailureMessage(why, reader, buffer.bytes()).c_str(), out);
        return false;
    }
    std::fprintf(out, "%.*s", static_cast<int>(text.size()), text.data());
    return true;
}

bool connectToUnit(const platform::Socket& socket, platform::Ipv4 address) {
    return platform::connectWithTimeout(socket, address, protocol::kUnitPort, kConnectTimeout,
                                   platform::OnRefusal::FailAtOnce);
}

std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    // Single-threaded programs: ctime's shared result buffer is safe here.
    const char* text = std::ctime(&now);
    return text != nullptr ? text : "??? ??? ?? ??:??:?? ????\n";
}

void reportConnectFailure(std::FILE* out, const std::string& address) {
    std::fprintf(out, "Error connecting to %s at %s", address.c_str(), timeStamp().c_str());
}

}  // namespace checkers
