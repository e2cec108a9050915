#include "net/waiting_room.h"

#include <algorithm>
#include <vector>

#include "net/readiness.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

WaitingRoom::WaitingRoom(const Socket& listener, WaitLimits limits)
    : listener_(listener), limits_(limits) {
    setNonBlocking(listener_, false);
    if (limits_.mostWaiting == 0)
        limits_.mostWaiting = 1;
    if (limits_.requestSize == 0)
        limits_.requestSize = 1;
}

void WaitingRoom::giveUp(std::size_t index) {
    Guest& guest = waiting_[index];
    ready_.push_back(Arrival{std::move(guest.socket), guest.peer, true, -1, {}});
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(index));
}

// Makes the connection's first receive when its bytes have come, and moves it
// to the ready queue; false (the socket left as it is) when nothing has come.
// Receiving here rather than asking first whether anything came saves a
// system call on every request.
bool WaitingRoom::receiveFirst(Socket& socket, Ipv4 peer) {
    std::vector<std::uint8_t> request(limits_.requestSize);
    std::optional<long> received = receiveArrived(socket, request.data(), request.size());
    if (!received)
        return false;
    request.resize(*received > 0 ? static_cast<std::size_t>(*received) : 0);
    ready_.push_back(Arrival{std::move(socket), peer, false, *received, std::move(request)});
    return true;
}

// Accepts one connection, waiting for it in the accept when nothing else is
// held (a poll first would cost one more call per request). Units send their
// request right after connecting, so it is usually there already; if not, the
// connection joins the silent ones. False only when accepting failed in a way
// the server cannot go on from.
bool WaitingRoom::acceptOne() {
    Ipv4 peer = 0;
    Socket socket = acceptFrom(listener_, &peer);
    if (socket) {
        if (!receiveFirst(socket, peer)) {
            if (waiting_.size() >= limits_.mostWaiting)
                giveUp(0);
            waiting_.push_back(Guest{std::move(socket), peer, Clock::now() + limits_.firstBytes});
        }
        return true;
    }
    int error = lastError();
    switch (lastAcceptFailure()) {
        case AcceptFailure::WouldBlock:
        case AcceptFailure::PeerGone:
        case AcceptFailure::Interrupted:
            // Looked at again at the next wait, which also minds the held ones.
            return true;
        case AcceptFailure::NoResources:
            // Out of descriptors: make room by giving up the oldest silent
            // connection; serving the ready ones frees more.
            if (!waiting_.empty()) {
                giveUp(0);
                return true;
            }
            if (!ready_.empty())
                return true;
            break;
        case AcceptFailure::Other:
            break;
    }
    acceptError_ = error;
    return false;
}

void WaitingRoom::giveUpExpired() {
    Clock::time_point now = Clock::now();
    for (std::size_t i = 0; i < waiting_.size();) {
        if (waiting_[i].deadline <= now) {
            giveUp(i);
        } else {
            ++i;
        }
    }
}

// One wait for the listener and every held connection; receives from those
// whose request came, in the order they were accepted, then accepts one new
// connection if one is pending.
bool WaitingRoom::waitForInput() {
    if (waiting_.empty())
        return acceptOne();
    std::vector<Watch> watches;
    watches.reserve(waiting_.size() + 1);
    watches.push_back(Watch{listener_.fd()});
    Clock::time_point soonest = Clock::time_point::max();
    for (const Guest& guest : waiting_) {
        watches.push_back(Watch{guest.socket.fd()});
        soonest = std::min(soonest, guest.deadline);
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(soonest - Clock::now());
    if (waitAny(watches, std::max(left, std::chrono::milliseconds(0))) < 0) {
        acceptError_ = lastError();
        return false;
    }
    std::deque<Guest> still;
    for (std::size_t i = 1; i < watches.size(); ++i) {
        Guest& guest = waiting_[i - 1];
        if (!watches[i].ready || !receiveFirst(guest.socket, guest.peer))
            still.push_back(std::move(guest));
    }
    waiting_ = std::move(still);
    return !watches[0].ready || acceptOne();
}

std::optional<Arrival> WaitingRoom::next() {
    for (;;) {
        giveUpExpired();
        if (!ready_.empty()) {
            Arrival arrival = std::move(ready_.front());
            ready_.pop_front();
            return arrival;
        }
        if (!waitForInput())
            return std::nullopt;
    }
}

}  // namespace net
