// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/mode_question.h"

#include "protocol/modes.h"
#include "protocol/text.h"

namespace unitfleet {

namespace {

using Status = protocol::ClientSession::Status;

// "Name = value" with this mode's name, however the gap is written.
bool namesMode(std::string_view body, std::string_view mode) {
    if (body.size() <= mode.size() ||
        !protocol::equalsIgnoreCase(body.substr(0, mode.size()), mode))
        return false;
    char after = body[mode.size()];
    return after == ' ' || after == '=' || after == '\t';
}

}  // namespace

ModeAnswer askMode(protocol::ClientSession& session, const std::string& address, std::uint16_t port,
                   const std::string& mode, std::chrono::milliseconds timeout) {
    ModeAnswer answer;
    auto start = protocol::ClientSession::Clock::now();
    session.setDeadline(start + timeout);
    answer.status = session.connect(address, timeout, port);
    answer.cause = session.cause();
    if (answer.status == Status::Ok)
        answer.status = session.query(mode);
    answer.seconds =
        std::chrono::duration<double>(protocol::ClientSession::Clock::now() - start).count();
    if (answer.status == Status::Ok && namesMode(session.replyBody(), mode)) {
        answer.named = true;
        answer.value =
            std::string(protocol::trimRight(protocol::oneModeValue(session.replyBody())));
    }
    session.close();
    return answer;
}

}  // namespace unitfleet
