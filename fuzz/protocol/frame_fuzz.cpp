// SPDX-License-Identifier: Apache-2.0
// Any bytes a host might read from a connection: classify them, then read
// every body the way the hosts do.
#include <cstddef>
#include <cstdint>

#include "protocol/frame.h"
#include "protocol/payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    protocol::ConstBytes bytes(data, size);
    protocol::Request request = protocol::classifyRequest(bytes);
    auto frame = protocol::FrameView::from(bytes);
    if (!request.isFrame || !frame)
        return 0;
    volatile std::size_t sink = frame->bodyText().size();
    protocol::Event event = protocol::readEvent(*frame);
    sink =
        sink + event.text.size() + static_cast<std::size_t>(protocol::eventNumber(event.newStarts));
    protocol::Registration r = protocol::readRegistration(*frame);
    sink = sink + r.unitId.size() + r.productId.size() + r.ipAddress.size();
    if (frame->subtype())
        sink = sink + protocol::dataContent(*frame).size();
    (void)sink;
    return 0;
}
