#include "protocol/transport.h"

#include "protocol/payload.h"

namespace protocol {

namespace {

bool isKeepAlive(ConstBytes frame) {
    auto view = FrameView::from(frame);
    return view && view->type() == FrameType::Data && view->subtype() == DataSubtype::Nop;
}

ReplyStatus readOneFrame(const net::Socket& socket, Bytes buffer) {
    if (buffer.size() < kHeaderSize) return ReplyStatus::Failed;
    if (net::receiveExactly(socket, buffer.data(), 4) != net::ReceiveStatus::Complete) {
        return ReplyStatus::Failed;
    }
    std::uint32_t length = readBE32(buffer.data());
    if (length < kHeaderSize || length > buffer.size()) return ReplyStatus::Failed;
    if (net::receiveExactly(socket, buffer.data() + 4, length - 4) !=
        net::ReceiveStatus::Complete) {
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
    for (;;) {
        ReplyStatus status = readOneFrame(socket, buffer);
        if (status != ReplyStatus::Reply) return status;
        if (mode == ReplyMode::AnyFrame) return status;
        if (isKeepAlive(buffer)) continue;
        return findType(buffer.subspan(4, 4)) == FrameType::ErrReport ? ReplyStatus::ErrorReport
                                                                       : ReplyStatus::Reply;
    }
}

}  // namespace protocol
