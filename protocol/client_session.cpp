// SPDX-License-Identifier: Apache-2.0
#include "protocol/client_session.h"

#include <algorithm>

#include "protocol/payload.h"

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

// The deadline, or the usual reply limit from now when none was set.
ReplyClock::time_point ClientSession::deadline() const {
    if (deadline_ == Clock::time_point::max())
        return Clock::now() + kReplyLimit;
    return deadline_;
}

ClientSession::Status ClientSession::connect(const std::string& address,
                                             milliseconds connectTimeout, std::uint16_t port) {
    socket_.close();
    body_ = {};
    cause_.clear();
    if (platform::startup() != 0) {
        cause_ = "the socket layer did not start";
        return Status::Unreachable;
    }
    std::optional<platform::Ipv4> ip = platform::lookupHost(address);
    if (!ip) {
        cause_ = "cannot resolve '" + address + "'";
        return Status::Unresolved;
    }
    if (deadline_ != Clock::time_point::max()) {
        auto left = std::chrono::ceil<milliseconds>(deadline_ - Clock::now());
        if (left <= milliseconds(0))
            return Status::TimedOut;
        connectTimeout = std::min(connectTimeout, left);
    }
    platform::Socket socket = platform::createTcpSocket();
    if (!socket) {
        cause_ = platform::connectFailureText(platform::lastError());
        return Status::Unreachable;
    }
    // A unit that refuses is known at once instead of after the whole wait,
    // which matters when hundreds of units are tried in a row.
    if (!platform::connectWithTimeout(socket, *ip, port != 0 ? port : kUnitPort, connectTimeout,
                                 platform::OnRefusal::FailAtOnce)) {
        cause_ = platform::connectFailureText(platform::lastError());
        return Status::Unreachable;
    }
    platform::setNoDelay(socket);
    socket_ = std::move(socket);
    return Status::Ok;
}

ClientSession::Status ClientSession::send(std::string_view text) {
    body_ = {};
    if (!socket_.valid())
        return Status::Lost;
    // A unit that stops reading must not hold a send past the deadline
    // either. A query fits in the socket's buffer, so this normally costs
    // the one send and no wait.
    auto end = deadline();
    auto left = std::chrono::ceil<milliseconds>(end - Clock::now());
    if (left <= milliseconds(0))
        return fail(Status::TimedOut);
    std::size_t length = buildQuery(buffer(), text);
    if (length == 0)
        return fail(Status::Lost);
    if (!platform::sendAllWithin(socket_, buffer_.get(), length, left))
        return fail(Clock::now() >= end ? Status::TimedOut : Status::Lost);
    return Status::Ok;
}

ClientSession::Status ClientSession::query(std::string_view text) {
    if (Status status = send(text); status != Status::Ok)
        return status;
    // Keep-alives are skipped, and count against the deadline like any wait.
    ReplyFailure why = ReplyFailure::None;
    ReplyStatus status =
        receiveReply(socket_, buffer(), deadline(), ReplyMode::SkipKeepAlives, &why);
    if (status == ReplyStatus::Failed)
        return fail(why == ReplyFailure::TimedOut ? Status::TimedOut : Status::Lost);
    body_ = FrameView::from(ConstBytes(buffer_.get(), bufferSize_))->bodyText();
    return status == ReplyStatus::ErrorReport ? Status::Refused : Status::Ok;
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
