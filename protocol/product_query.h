// SPDX-License-Identifier: Apache-2.0
// The text of a product query (a PROD body or a unit's plain-text scan): the
// barcode, possibly preceded by a prefix and one tab.
#pragma once

#include <string_view>

namespace protocol {

struct ProductQuery {
    std::string_view prefix;   // empty when the text has no tab
    std::string_view barcode;  // everything after the first tab, or the whole text
};

ProductQuery splitProductQuery(std::string_view text);

}  // namespace protocol
