#include "net/waiting_room.h"

#include <algorithm>
#include <vector>

#include "net/readiness.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

// Accepts taken in one go before the held connections are looked at again,
// so a flood of connects cannot starve the requests already in.
constexpr int kMostAcceptsAtOnce = 256;

}  // namespace

WaitingRoom::WaitingRoom(const Socket& listener, WaitLimits limits)
    : listener_(listener), limits_(limits) {
    setNonBlocking(listener_, true);
    if (limits_.mostWaiting == 0)
        limits_.mostWaiting = 1;
}

void WaitingRoom::giveUp(std::size_t index) {
    Guest& guest = waiting_[index];
    ready_.push_back(Arrival{std::move(guest.socket), guest.peer, true});
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(index));
}

// True when the connection is ready at once: units send their request
// right after connecting, so it is usually there when the accept returns.
bool WaitingRoom::admit(Socket socket, Ipv4 peer) {
#ifdef _WIN32
    // Accepted sockets inherit the listener's non-blocking mode here; the
    // servers serve in blocking mode.
    setNonBlocking(socket, false);
#endif
    if (waitReadable(socket, std::chrono::milliseconds(0))) {
        ready_.push_back(Arrival{std::move(socket), peer, false});
        return true;
    }
    if (waiting_.size() >= limits_.mostWaiting)
        giveUp(0);
    waiting_.push_back(Guest{std::move(socket), peer, Clock::now() + limits_.firstBytes});
    return false;
}

// Takes every connection the listen queue holds. False only when accepting
// failed in a way the server cannot go on from.
bool WaitingRoom::acceptPending() {
    bool retried = false;
    for (int taken = 0; taken < kMostAcceptsAtOnce;) {
        Ipv4 peer = 0;
        Socket socket = acceptFrom(listener_, &peer);
        if (socket) {
            // A request to serve ends the accepting: the rest of the queue
            // is taken at the next wait, after it is served.
            if (admit(std::move(socket), peer))
                return true;
            ++taken;
            continue;
        }
        int error = lastError();
        switch (lastAcceptFailure()) {
            case AcceptFailure::WouldBlock:
                return true;
            case AcceptFailure::PeerGone:
                continue;
            case AcceptFailure::Interrupted:
                if (!retried) {
                    retried = true;
                    continue;
                }
                break;
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
    return true;
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

// One wait for the listener and every held connection; moves those whose
// request came to the ready queue, in the order they were accepted.
bool WaitingRoom::waitForInput() {
    std::vector<Watch> watches;
    watches.reserve(waiting_.size() + 1);
    watches.push_back(Watch{listener_.fd()});
    Clock::time_point soonest = Clock::time_point::max();
    for (const Guest& guest : waiting_) {
        watches.push_back(Watch{guest.socket.fd()});
        soonest = std::min(soonest, guest.deadline);
    }
    std::chrono::milliseconds timeout{-1};
    if (soonest != Clock::time_point::max()) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(soonest - Clock::now());
        timeout = std::max(left, std::chrono::milliseconds(0));
    }
    if (waitAny(watches, timeout) < 0) {
        acceptError_ = lastError();
        return false;
    }
    std::deque<Guest> still;
    for (std::size_t i = 1; i < watches.size(); ++i) {
        Guest& guest = waiting_[i - 1];
        if (watches[i].ready) {
            ready_.push_back(Arrival{std::move(guest.socket), guest.peer, false});
        } else {
            still.push_back(std::move(guest));
        }
    }
    waiting_ = std::move(still);
    return !watches[0].ready || acceptPending();
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
