#include "protocol/client_session.h"

#include <algorithm>

namespace protocol {

namespace {

using std::chrono::milliseconds;

}  // namespace

ClientSession::ClientSession(std::size_t bufferSize)
    : buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(bufferSize)),
      bufferSize_(bufferSize) {}

ClientSession::Status ClientSession::fail(Status status) {
    socket_.close();
    body_ = {};
    return status;
}

// Time left before the deadline, at least 1 ms so that a zero never means
// "wait for ever" to the socket layer; false once the deadline has passed.
bool ClientSession::armTimeouts() {
    if (deadline_ == Clock::time_point::max())
        return true;
    auto left = std::chrono::ceil<milliseconds>(deadline_ - Clock::now());
    if (left <= milliseconds(0))
        return false;
    return net::setReceiveTimeout(socket_, left) && net::setSendTimeout(socket_, left);
}

ClientSession::Status ClientSession::connect(const std::string& address,
                                             milliseconds connectTimeout) {
    socket_.close();
    body_ = {};
    if (net::startup() != 0)
        return Status::Unreachable;
    std::optional<net::Ipv4> ip = net::lookupHost(address);
    if (!ip)
        return Status::Unresolved;
    if (deadline_ != Clock::time_point::max()) {
        auto left = std::chrono::ceil<milliseconds>(deadline_ - Clock::now());
        if (left <= milliseconds(0))
            return Status::TimedOut;
        connectTimeout = std::min(connectTimeout, left);
    }
    net::Socket socket = net::createTcpSocket();
    if (!socket)
        return Status::Unreachable;
    // A blocking connect bounded by the send time-out: a unit that refuses is
    // known at once instead of after the whole wait, which matters when
    // hundreds of units are tried in a row.
    if (!net::setSendTimeout(socket, connectTimeout) ||
        !net::connectBlocking(socket, *ip, kUnitPort)) {
        return Status::Unreachable;
    }
    net::setNoDelay(socket);
    socket_ = std::move(socket);
    return Status::Ok;
}

ClientSession::Status ClientSession::send(std::string_view text) {
    body_ = {};
    if (!socket_.valid())
        return Status::Lost;
    if (!armTimeouts())
        return fail(Status::TimedOut);
    if (!sendQuery(socket_, buffer(), text))
        return fail(net::lastErrorIsTimeout() ? Status::TimedOut : Status::Lost);
    return Status::Ok;
}

ClientSession::Status ClientSession::query(std::string_view text) {
    if (Status status = send(text); status != Status::Ok)
        return status;
    // The time-out is armed again before every frame, so keep-alives cannot
    // stretch the wait past the deadline.
    for (;;) {
        if (!armTimeouts())
            return fail(Status::TimedOut);
        ReplyFailure why = ReplyFailure::None;
        ReplyStatus status = receiveReply(socket_, buffer(), ReplyMode::AnyFrame, why);
        if (status != ReplyStatus::Reply)
            return fail(why == ReplyFailure::TimedOut ? Status::TimedOut : Status::Lost);
        std::optional<FrameView> frame = FrameView::from(ConstBytes(buffer_.get(), bufferSize_));
        std::optional<FrameType> type = frame->type();
        if (type == FrameType::Data && frame->subtype() == DataSubtype::Nop)
            continue;
        body_ = frame->bodyText();
        return type == FrameType::ErrReport ? Status::Refused : Status::Ok;
    }
}

std::string_view describe(ClientSession::Status status) {
    switch (status) {
        case ClientSession::Status::Ok:
            return "ok";
        case ClientSession::Status::Refused:
            return "refused";
        case ClientSession::Status::Unresolved:
            return "unresolved";
        case ClientSession::Status::Unreachable:
            return "unreachable";
        case ClientSession::Status::TimedOut:
            return "timed out";
        case ClientSession::Status::Lost:
            return "connection lost";
    }
    return "failed";
}

}  // namespace protocol
