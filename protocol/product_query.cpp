// SPDX-License-Identifier: Apache-2.0
#include "protocol/product_query.h"

namespace protocol {

ProductQuery splitProductQuery(std::string_view text) {
    std::size_t tab = text.find('\t');
    if (tab == std::string_view::npos)
        return {{}, text};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

}  // namespace protocol
