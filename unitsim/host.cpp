// The unit's side of a host connection: connect (from a chosen loopback
// address, so the host sees that peer), send one message, collect the
// answer until the host closes or the time-out passes.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "net/socket.h"
#include "unitsim/host_message.h"
#include "unitsim/unit.h"

namespace unitsim {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void collectAnswer(const net::Socket& socket, Clock::time_point deadline, HostReply& reply) {
    std::uint8_t buffer[8192];
    for (;;) {
        int wait = remainingMs(deadline);
        if (wait <= 0)
            return;
        pollfd fd{socket.fd(), POLLIN, 0};
        int n = ::poll(&fd, 1, wait);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        long got = net::receiveSome(socket, buffer, sizeof buffer);
        if (got <= 0)
            return;
        reply.bytes.insert(reply.bytes.end(), buffer, buffer + got);
    }
}

}  // namespace

HostReply sendRaw(const HostTarget& target, const std::vector<std::uint8_t>& bytes) {
    HostReply reply;
    auto deadline = Clock::now() + target.timeout;
    auto host = net::lookupHost(target.host);
    if (!host)
        return reply;
    net::Socket socket = net::createTcpSocket();
    if (!socket)
        return reply;
    if (!target.from.empty()) {
        auto from = net::lookupHost(target.from);
        if (!from || !net::bindTo(socket, 0, *from))
            return reply;
    }
    if (!net::connectWithTimeout(socket, *host, target.port, target.timeout))
        return reply;
    // connectWithTimeout counts only writability; a refused connect is
    // writable too, so ask the socket whether it really connected.
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0)
        return reply;
    reply.connected = true;
    if (!bytes.empty() && !net::sendAll(socket, bytes.data(), bytes.size()))
        return reply;
    collectAnswer(socket, deadline, reply);
    return reply;
}

HostReply sendBarcodeText(const HostTarget& target, const std::string& barcode) {
    return sendRaw(target, barcodeTextMessage(barcode));
}

HostReply sendBarcodeFrame(const HostTarget& target, const std::string& barcode) {
    return sendRaw(target, barcodeFrameMessage(barcode));
}

HostReply sendEvent(const HostTarget& target, std::uint32_t newStarts, std::uint32_t keyCode,
                    std::uint32_t column, std::uint32_t row, const std::string& text) {
    return sendRaw(target, eventMessage(newStarts, keyCode, column, row, text));
}

HostReply sendRegistration(const HostTarget& target, const std::string& unitId,
                           const std::string& productId, const std::string& ip) {
    return sendRaw(target, registrationMessage(unitId, productId, ip));
}

}  // namespace unitsim
