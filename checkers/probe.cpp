// SPDX-License-Identifier: Apache-2.0
#include "checkers/probe.h"

#include "checkers/startup.h"

namespace checkers {

int runProbe(const ProbeSettings& settings, std::FILE* out) {
    std::optional<CheckerTarget> target = startChecker(settings.address, out, kProbeStartupFailure);
    if (!target) {
        std::fflush(out);
        return 1;
    }
    if (!connectToUnit(target->socket, target->address)) {
        reportConnectFailure(out, target->addressText);
        std::fflush(out);
        return 1;
    }
    Exchange exchange{"probe", target->addressText, settings.replyTimeout};
    bool answered = exchangeStatus(target->socket, target->buffer, out, exchange);
    std::fflush(out);
    return answered ? 0 : 1;
}

}  // namespace checkers
