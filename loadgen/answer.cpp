// SPDX-License-Identifier: Apache-2.0
#include "loadgen/answer.h"

#include <algorithm>

#include "protocol/payload.h"
#include "unitsim/messages.h"

namespace loadgen {

namespace {

using unitsim::Cut;
using unitsim::CutKind;

std::string more(std::size_t left) {
    return left ? "... (" + std::to_string(left) + " more bytes)" : "";
}

}  // namespace

std::optional<std::string> malformation(const unitsim::MessageBytes& answer, bool complete) {
    protocol::ConstBytes rest(answer);
    if (rest.empty())
        return "no answer";
    bool text = answer.front() != 0;
    while (!rest.empty()) {
        Cut cut = unitsim::cutMessage(rest);
        if (cut.kind == CutKind::BadLength)
            return "length field " + std::to_string(cut.badLength);
        if (cut.kind == CutKind::NeedMore) {
            if (!complete || (text && answer.back() == 0))
                return std::nullopt;
            return rest[0] == 0 ? "frame cut short" : "text without its zero byte";
        }
        rest = rest.subspan(cut.size);
    }
    return std::nullopt;
}

std::string answerText(const unitsim::MessageBytes& answer) {
    protocol::ConstBytes bytes(answer);
    if (bytes.empty())
        return {};
    if (bytes[0] != 0)
        return std::string(protocol::textUntilZero(bytes));
    auto frame = protocol::FrameView::from(bytes);
    if (!frame)
        return {};
    if (frame->type() == protocol::FrameType::Data)
        return std::string(protocol::textUntilZero(protocol::dataContent(*frame)));
    return std::string(frame->bodyText());
}

std::string sampleText(const std::string& text) {
    std::size_t shown = std::min(text.size(), kSampleBytes);
    return unitsim::quoted(std::string_view(text).substr(0, shown)) + more(text.size() - shown);
}

std::string sampleBytes(const unitsim::MessageBytes& answer) {
    std::size_t shown = std::min(answer.size(), kSampleBytes);
    return std::to_string(answer.size()) + " bytes " +
           unitsim::hexBytes(protocol::ConstBytes(answer).first(shown)) +
           (shown < answer.size() ? "..." : "");
}

}  // namespace loadgen
