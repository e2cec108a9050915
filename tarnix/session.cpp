// SPDX-License-Identifier: Apache-2.0
#include "tarnix/session.h"

#include <new>

#include "protocol/frame.h"
#include "protocol/reply_message.h"
#include "protocol/transport.h"

namespace tarnix {

namespace {

constexpr std::string_view kSendError = "\nError sending..\n";

}  // namespace

Session::Session(Console console, int verbose, std::chrono::milliseconds replyTimeout)
    : console_(console), verbose_(verbose), replyTimeout_(replyTimeout) {}

Stop Session::connect(const std::string& target) {
    target_ = target;
    if (int code = platform::startup(); code != 0) {
        say(console_.out, "Requested socket version not supported : %d\n", code);
        return kExitSocketFailure;
    }
    socket_ = platform::createTcpSocket();
    if (!socket_) {
        say(console_.out, "Error creating socket\n");
        return kExitSocketFailure;
    }
    std::optional<platform::Ipv4> address = platform::lookupHost(target);
    if (!address) {
        say(console_.out, "DNS lookup failed for host :%s\n", target.c_str());
        return kExitSocketFailure;
    }
    if (!platform::connectWithTimeout(socket_, *address, protocol::kUnitPort, kConnectTimeout,
                                 platform::OnRefusal::FailAtOnce)) {
        say(console_.out, "Error connecting to node %s\n", target.c_str());
        return kExitFailure;
    }
    try {
        buffer_.assign(kFrameBufferSize, 0);
    } catch (const std::bad_alloc&) {
        say(console_.out, "malloc failed\n");
        return kExitFailure;
    }
    return std::nullopt;
}

Stop Session::send(std::string_view text) {
    if (verbose_ > 0)
        say(console_.out, "Sending MDSQ %.*s\n", int(text.size()), text.data());
    if (!protocol::sendQuery(socket_, buffer_, text)) {
        say(console_.err, "%s", kSendError.data());
        return kExitSocketFailure;
    }
    return std::nullopt;
}

Stop Session::query(std::string_view text) {
    if (Stop stop = send(text))
        return stop;
    return receive();
}

Stop Session::sendLiteral(std::string_view text) {
    std::string bytes(text);
    bytes.push_back('\0');
    if (!platform::sendAll(socket_, bytes.data(), bytes.size())) {
        say(console_.err, "%s", kSendError.data());
        return kExitSocketFailure;
    }
    return std::nullopt;
}

Stop Session::receive() {
    body_ = {};
    protocol::ReplyFailure why = protocol::ReplyFailure::None;
    // Keep-alives are skipped within the same limit; an error report is a
    // reply like any other (a refused set shows in the report).
    if (protocol::receiveReply(socket_, buffer_, replyTimeout_, protocol::ReplyMode::SkipKeepAlives,
                               &why) == protocol::ReplyStatus::Failed) {
        protocol::ReplyReader reader{"Tarnix", target_, replyTimeout_, kFrameBufferSize};
        say(console_.err, "%s", protocol::replyFailureMessage(why, reader, buffer_).c_str());
        return kExitFailure;
    }
    auto frame = protocol::FrameView::from(buffer_);
    body_ = frame->bodyText();
    if (verbose_ > 0) {
        std::string code(reinterpret_cast<const char*>(frame->code().data()), 4);
        say(console_.out, "Received %s %.*s\n", code.c_str(), int(body_.size()), body_.data());
    }
    return std::nullopt;
}

}  // namespace tarnix
