// SPDX-License-Identifier: Apache-2.0
#include "mibbet/request.h"

#include "protocol/text.h"

namespace mibbet {

std::optional<std::string_view> queryText(protocol::ConstBytes request) {
    protocol::Request kind = protocol::classifyRequest(request);
    if (!kind.isFrame) return protocol::textUntilZero(request);
    if (kind.type != protocol::FrameType::ProductQuery) return std::nullopt;
    // Only the type check uses the length field: the text runs to its zero
    // byte (or to the end of what was received).
    return protocol::textUntilZero(request.subspan(protocol::kHeaderSize));
}

std::optional<std::string_view> keyOf(std::string_view query) {
    query = protocol::trimRight(query);
    if (query.empty()) return std::nullopt;
    std::size_t tab = query.find('\t');
    return tab == std::string_view::npos ? query : query.substr(tab + 1);
}

std::string notFoundAnswer(std::string_view key, long long counter) {
    std::string answer(key);
    answer += "\r\n  ";
    answer += std::to_string(counter);
    return answer;
}

}  // namespace mibbet
