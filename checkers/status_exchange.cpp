#include "checkers/status_exchange.h"

#include <cstring>
#include <ctime>
#include <new>

#include "protocol/frame.h"
#include "protocol/payload.h"

namespace checkers {

namespace {

using Clock = std::chrono::steady_clock;

// Receives exactly `size` bytes unless the peer closes, a call fails or the
// deadline passes. Each call waits only for what is left of the deadline, so
// a unit that trickles bytes cannot stretch the wait.
bool receiveWithin(const net::Socket& socket, std::uint8_t* data, std::size_t size,
                   Clock::time_point deadline) {
    std::size_t got = 0;
    while (got < size) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        net::setReceiveTimeout(socket, left);
        long n = net::receiveSome(socket, data + got, size - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

MessageBuffer MessageBuffer::allocate() {
    MessageBuffer buffer;
    buffer.bytes_.reset(new (std::nothrow) std::uint8_t[kMessageBufferSize]);
    if (buffer.valid()) buffer.clear();
    return buffer;
}

void MessageBuffer::clear() { std::memset(bytes_.get(), 0, kMessageBufferSize); }

bool sendStatusQuery(const net::Socket& socket, MessageBuffer& buffer, std::FILE* out) {
    buffer.clear();
    std::size_t length = protocol::buildQuery(buffer.bytes(), kStatusMode);
    if (net::sendAll(socket, buffer.bytes().data(), length)) return true;
    std::fprintf(out, "\nError sending..\n");
    return false;
}

std::optional<std::string_view> receiveStatusReply(const net::Socket& socket,
                                                   MessageBuffer& buffer,
                                                   std::chrono::milliseconds timeout) {
    buffer.clear();
    auto deadline = Clock::now() + timeout;
    std::uint8_t* bytes = buffer.bytes().data();
    if (!receiveWithin(socket, bytes, 4, deadline)) return std::nullopt;
    std::uint32_t length = protocol::readBE32(bytes);
    if (length < protocol::kHeaderSize || length >= kMessageBufferSize) return std::nullopt;
    if (!receiveWithin(socket, bytes + 4, length - 4, deadline)) return std::nullopt;
    auto frame = protocol::FrameView::from(buffer.bytes().first(length));
    if (!frame) return std::nullopt;
    return frame->bodyText();
}

bool exchangeStatus(const net::Socket& socket, MessageBuffer& buffer, std::FILE* out,
                    std::chrono::milliseconds timeout, const std::function<void()>& afterSend) {
    // A failed send still leaves the unit a chance to answer what it got.
    sendStatusQuery(socket, buffer, out);
    if (afterSend) afterSend();
    std::optional<std::string_view> text = receiveStatusReply(socket, buffer, timeout);
    if (!text) return false;
    std::fprintf(out, "%.*s", static_cast<int>(text->size()), text->data());
    return true;
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
