// SPDX-License-Identifier: Apache-2.0
// uxOpen, ReOpen, uxClose and uxGetLastError.
#include <algorithm>
#include <cstdint>

#include "lumetra/lumetra.h"
#include "lumetra/mode_table.h"
#include "lumetra/session.h"

namespace lumetra {

namespace {

// Connects for uxOpen/ReOpen and records the outcome as the last error.
bool openConnection(const char* unitAddress) {
    Session& s = session();
    s.setLastError(0);
    if (s.connect(unitAddress))
        return true;
    s.setLastError(1);
    return false;
}

// A unit that accepted but broke the exchange is as unusable as one that
// never answered: the caller sees the failure in the last error too.
void failExchange() {
    Session& s = session();
    s.close();
    s.setLastError(1);
}

}  // namespace

}  // namespace lumetra

using lumetra::guarded;

extern "C" {

LUMETRA_API int16_t LUMETRA_CALL uxOpen(const char* unitAddress) {
    return guarded<int16_t>(0, [&]() -> int16_t {
        if (!lumetra::openConnection(unitAddress))
            return 0;
        std::optional<std::size_t> count = lumetra::readModeTable();
        if (!count) {
            lumetra::failExchange();
            return 0;
        }
        return static_cast<int16_t>(std::min<std::size_t>(*count, INT16_MAX));
    });
}

LUMETRA_API int16_t LUMETRA_CALL ReOpen(const char* unitAddress) {
    return guarded<int16_t>(0, [&]() -> int16_t {
        if (!lumetra::openConnection(unitAddress))
            return 0;
        if (!lumetra::sendForceLines()) {
            lumetra::failExchange();
            return 0;
        }
        return 1;
    });
}

LUMETRA_API int32_t LUMETRA_CALL uxClose(void) {
    lumetra::session().close();
    return 1;
}

LUMETRA_API int16_t LUMETRA_CALL uxGetLastError(void) {
    return lumetra::session().lastError();
}

}  // extern "C"
