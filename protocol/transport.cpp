#include "protocol/transport.h"

#include "protocol/payload.h"

namespace protocol {

namespace {

bool isKeepAlive(ConstBytes frame) {
    auto view = FrameView::from(frame);
    return view && view->type() == FrameType::Data && view->subtype() == DataSubtype::Nop;
}

ReplyFailure receiveFailure(net::ReceiveStatus status) {
    if (status == net::ReceiveStatus::Closed) return ReplyFailure::Closed;
    return net::lastErrorIsTimeout() ? ReplyFailure::TimedOut : ReplyFailure::Failed;
}

ReplyStatus readOneFrame(const net::Socket& socket, Bytes buffer, ReplyFailure& why) {
    why = ReplyFailure::None;
    if (buffer.size() < kHeaderSize) {
        why = ReplyFailure::BadLength;
        return ReplyStatus::Failed;
    }
    net::ReceiveStatus status = net::receiveExactly(socket, buffer.data(), 4);
    if (status != net::ReceiveStatus::Complete) {
        why = receiveFailure(status);
        return ReplyStatus::Failed;
    }
    std::uint32_t length = readBE32(buffer.data());
    if (length < kHeaderSize || length > buffer.size()) {
        why = ReplyFailure::BadLength;
        return ReplyStatus::Failed;
    }
    status = net::receiveExactly(socket, buffer.data() + 4, length - 4);
    if (status != net::ReceiveStatus::Complete) {
        why = receiveFailure(status);
        return ReplyStatus::Failed;
    }
    return ReplyStatus::Reply;
}

}  // namespace

bool sendFrame(const net::Socket& socket, ConstBytes frame) {
    return net::sendAll(socket, frame.data(), frame.size());
}

bool sendQuery(const net::Socket& socket, Bytes buffer, std::string_view text) {
    std::size_t length = buildQuery(buffer, text);
    return length != 0 && sendFrame(socket, buffer.first(length));
}

ReplyStatus receiveReply(const net::Socket& socket, Bytes buffer, ReplyMode mode) {
    ReplyFailure why;
    return receiveReply(socket, buffer, mode, why);
}

ReplyStatus receiveReply(const net::Socket& socket, Bytes buffer, ReplyMode mode,
                         ReplyFailure& why) {
    for (;;) {
        ReplyStatus status = readOneFrame(socket, buffer, why);
        if (status != ReplyStatus::Reply) return status;
        if (mode == ReplyMode::AnyFrame) return status;
        if (isKeepAlive(buffer)) continue;
        return findType(buffer.subspan(4, 4)) == FrameType::ErrReport ? ReplyStatus::ErrorReport
                                                                       : ReplyStatus::Reply;
    }
}

}  // namespace protocol
