#include "checkers/probe.h"

#include "checkers/startup.h"
#include "protocol/frame.h"

namespace checkers {

int runProbe(const ProbeSettings& settings, std::FILE* out) {
    std::optional<CheckerTarget> target = startChecker(settings.address, out, kProbeStartupFailure);
    if (!target) {
        std::fflush(out);
        return 1;
    }
    if (!net::connectBlocking(target->socket, target->address, protocol::kUnitPort)) {
        reportConnectFailure(out, target->addressText);
        std::fflush(out);
        return 1;
    }
    bool answered = exchangeStatus(target->socket, target->buffer, out, settings.replyTimeout);
    std::fflush(out);
    return answered ? 0 : 1;
}

}  // namespace checkers
