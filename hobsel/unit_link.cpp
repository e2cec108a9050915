// SPDX-License-Identifier: Apache-2.0
#include "hobsel/unit_link.h"

namespace hobsel {

UnitLink connectToUnit(Context& c, platform::Ipv4 unit, bool announce) {
    UnitLink link;
    if (int error = platform::startup(); error != 0) {
        link.failure = UnitLinkFailure::Startup;
        link.error = error;
        return link;
    }
    link.socket = platform::createTcpSocket();
    if (!link.socket) {
        link.failure = UnitLinkFailure::Socket;
        return link;
    }
    std::string dotted = platform::dotted(unit);
    if (announce)
        c.say(2, "makeConnection to %08lx: %s\n", static_cast<unsigned long>(unit), dotted.c_str());
    std::optional<platform::Ipv4> address = unit != 0 ? platform::lookupHost(dotted) : std::nullopt;
    if (unit != 0 && !address) {
        link.socket.close();
        link.failure = UnitLinkFailure::Address;
        return link;
    }
    // The send time-out also bounds the connect on this platform.
    platform::setSendTimeout(link.socket, c.unitTimeout);
    if (unit == 0 || !platform::connectBlocking(link.socket, *address, kUnitPort)) {
        link.socket.close();
        link.failure = UnitLinkFailure::Connect;
    }
    return link;
}

}  // namespace hobsel
