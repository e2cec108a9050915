// SPDX-License-Identifier: Apache-2.0
// Any bytes a unit may send Mibbet in one read: the query text, its key and
// the not-found answer built from it.
#include <cstddef>
#include <cstdint>

#include "mibbet/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto query = mibbet::queryText(protocol::ConstBytes(data, size));
    if (!query)
        return 0;
    auto key = mibbet::keyOf(*query);
    if (!key)
        return 0;
    volatile std::size_t sink = mibbet::notFoundAnswer(*key, 42).size();
    (void)sink;
    return 0;
}
