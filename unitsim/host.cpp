// SPDX-License-Identifier: Apache-2.0
// The unit's side of a host connection: connect (from a chosen loopback
// address, so the host sees that peer), send one message, collect the
// answer until the host closes or the time-out passes.
#include "unitsim/host.h"

#include "platform/readiness.h"
#include "platform/socket.h"
#include "unitsim/host_message.h"

namespace unitsim {

namespace {

using Clock = std::chrono::steady_clock;

void collectAnswer(const platform::Socket& socket, Clock::time_point deadline, HostReply& reply) {
    std::uint8_t buffer[8192];
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !platform::waitReadable(socket, left))
            return;
        long got = platform::receiveSome(socket, buffer, sizeof buffer);
        if (got <= 0)
            return;
        reply.bytes.insert(reply.bytes.end(), buffer, buffer + got);
    }
}

}  // namespace

HostReply sendRaw(const HostTarget& target, const std::vector<std::uint8_t>& bytes) {
    HostReply reply;
    auto deadline = Clock::now() + target.timeout;
    auto host = platform::lookupHost(target.host);
    if (!host)
        return reply;
    platform::Socket socket = platform::createTcpSocket();
    if (!socket)
        return reply;
    if (!target.from.empty()) {
        auto from = platform::lookupHost(target.from);
        if (!from || !platform::bindTo(socket, 0, *from))
            return reply;
    }
    // A refused connect fails at once: nothing is gained by waiting.
    if (!platform::connectWithTimeout(socket, *host, target.port, target.timeout,
                                 platform::OnRefusal::FailAtOnce))
        return reply;
    reply.connected = true;
    if (!bytes.empty() && !platform::sendAll(socket, bytes.data(), bytes.size()))
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
