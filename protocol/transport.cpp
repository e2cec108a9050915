// SPDX-License-Identifier: Apache-2.0
#include "protocol/transport.h"

#include <algorithm>
#include <optional>

#include "platform/readiness.h"
#include "protocol/payload.h"

namespace protocol {

namespace {

using std::chrono::milliseconds;

bool isKeepAlive(ConstBytes frame) {
    auto view = FrameView::from(frame);
    return view && view->type() == FrameType::Data && view->subtype() == DataSubtype::Nop;
}

// Bounds each wait for input by what is left of the deadline and by the
// socket's own receive time-out, which it leaves as it is. Bytes that are in
// already are taken without asking the system to wait, so a reply normally
// costs one wait and three receives, and no change to the socket's options.
class DeadlineReader {
  public:
    DeadlineReader(const platform::Socket& socket, ReplyClock::time_point deadline)
        : socket_(socket), deadline_(deadline), own_(platform::receiveTimeout(socket)) {}

    // Receives exactly `size` bytes; None on success.
    ReplyFailure read(std::uint8_t* data, std::size_t size) {
        std::size_t got = 0;
        while (got < size) {
            // Past the deadline nothing more is read, even what is in.
            if (ReplyClock::now() >= deadline_)
                return ReplyFailure::TimedOut;
            std::optional<long> n = platform::receiveArrived(socket_, data + got, size - got);
            if (!n) {
                if (ReplyFailure why = waitForInput(); why != ReplyFailure::None)
                    return why;
                continue;
            }
            if (*n == 0)
                return ReplyFailure::Closed;
            if (*n < 0)
                return ReplyFailure::Failed;
            got += static_cast<std::size_t>(*n);
        }
        return ReplyFailure::None;
    }

  private:
    ReplyFailure waitForInput() {
        for (;;) {
            auto left = std::chrono::ceil<milliseconds>(deadline_ - ReplyClock::now());
            if (left.count() <= 0)
                return ReplyFailure::TimedOut;
            // A socket with no time-out of its own (zero) waits for the
            // deadline alone.
            milliseconds wait = own_.count() > 0 ? std::min(own_, left) : left;
            auto start = ReplyClock::now();
            if (platform::waitReadable(socket_, wait))
                return ReplyFailure::None;
            // A wait cut short by a signal is taken up again.
            if (ReplyClock::now() - start >= wait)
                return ReplyFailure::TimedOut;
        }
    }

    const platform::Socket& socket_;
    ReplyClock::time_point deadline_;
    milliseconds own_;
};

ReplyFailure readOneFrame(DeadlineReader& reader, Bytes buffer) {
    if (buffer.size() < kHeaderSize)
        return ReplyFailure::BadLength;
    if (ReplyFailure why = reader.read(buffer.data(), 4); why != ReplyFailure::None)
        return why;
    std::uint32_t length = readBE32(buffer.data());
    if (length < kHeaderSize || length > buffer.size())
        return ReplyFailure::BadLength;
    return reader.read(buffer.data() + 4, length - 4);
}

}  // namespace

bool sendFrame(const platform::Socket& socket, ConstBytes frame) {
    return platform::sendAll(socket, frame.data(), frame.size());
}

bool sendQuery(const platform::Socket& socket, Bytes buffer, std::string_view text) {
    std::size_t length = buildQuery(buffer, text);
    return length != 0 && sendFrame(socket, buffer.first(length));
}

ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer, ReplyClock::time_point deadline,
                         ReplyMode mode, ReplyFailure* why) {
    DeadlineReader reader(socket, deadline);
    for (;;) {
        ReplyFailure failure = readOneFrame(reader, buffer);
        if (why != nullptr)
            *why = failure;
        if (failure != ReplyFailure::None)
            return ReplyStatus::Failed;
        if (mode == ReplyMode::AnyFrame)
            return ReplyStatus::Reply;
        if (isKeepAlive(buffer))
            continue;
        return findType(buffer.subspan(4, 4)) == FrameType::ErrReport ? ReplyStatus::ErrorReport
                                                                      : ReplyStatus::Reply;
    }
}

ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer, std::chrono::milliseconds limit,
                         ReplyMode mode, ReplyFailure* why) {
    return receiveReply(socket, buffer, ReplyClock::now() + limit, mode, why);
}

ReplyStatus receiveReply(const platform::Socket& socket, Bytes buffer, ReplyMode mode) {
    return receiveReply(socket, buffer, kReplyLimit, mode);
}

}  // namespace protocol
