#include "hobsel/unit_link.h"

namespace hobsel {

UnitLink connectToUnit(Context& c, net::Ipv4 unit, bool announce) {
    UnitLink link;
    if (int error = net::startup(); error != 0) {
        link.failure = UnitLinkFailure::Startup;
        link.error = error;
        return link;
    }
    link.socket = net::createTcpSocket();
    if (!link.socket) {
        link.failure = UnitLinkFailure::Socket;
        return link;
    }
    std::string dotted = net::dotted(unit);
    if (announce)
        c.say(2, "makeConnection to %08lx: %s\n", static_cast<unsigned long>(unit), dotted.c_str());
    std::optional<net::Ipv4> address = unit != 0 ? net::lookupHost(dotted) : std::nullopt;
    if (unit != 0 && !address) {
        link.socket.close();
        link.failure = UnitLinkFailure::Address;
        return link;
    }
    // The send time-out also bounds the connect on this platform.
    net::setSendTimeout(link.socket, c.unitTimeout);
    if (unit == 0 || !net::connectBlocking(link.socket, *address, kUnitPort)) {
        link.socket.close();
        link.failure = UnitLinkFailure::Connect;
    }
    return link;
}

}  // namespace hobsel
