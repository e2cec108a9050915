// SPDX-License-Identifier: Apache-2.0
// Any bytes a unit may send Tarnix: read frame after frame as Tarnix reads
// its replies (keep-alives skipped, its 131072-byte buffer), the first as
// the definition reply and the rest as value replies.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/support/socket_feed.h"
#include "protocol/modes.h"
#include "protocol/transport.h"
#include "tarnix/ini.h"
#include "tarnix/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SocketFeed feed(data, size);
    if (!feed.valid())
        return 0;
    static std::vector<std::uint8_t> buffer(tarnix::kFrameBufferSize);
    protocol::ModeTable table;
    bool first = true;
    // Every frame takes at least 8 input bytes, so the loop ends.
    while (protocol::receiveReply(feed.socket(), buffer, std::chrono::seconds(1)) !=
           protocol::ReplyStatus::Failed) {
        auto frame = protocol::FrameView::from(buffer);
        if (!frame)
            break;
        if (first) {
            table.parseDefinitions(frame->bodyText(), tarnix::kNameLimits);
            first = false;
        } else if (table.fillValues(frame->bodyText(), &protocol::ModeRecord::nvram,
                                    tarnix::kNameLimits)) {
            break;  // a mode name too long ends Tarnix's run
        }
    }
    return 0;
}
