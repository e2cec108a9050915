// SPDX-License-Identifier: Apache-2.0
#include "platform/waiting_room.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "platform/readiness.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Connections accepted in one go while the listener has more pending and
// none of them has sent its request yet: a flood drains from the listen
// queue faster than it fills, so other units' connection attempts still fit.
constexpr int kAcceptBatch = 8;

}  // namespace

void reportToStandardError(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
}

WaitingRoom::WaitingRoom(const Socket& listener, WaitLimits limits)
    : listener_(listener), limits_(std::move(limits)) {
    setNonBlocking(listener_, false);
    limits_.mostWaiting = std::max<std::size_t>(limits_.mostWaiting, 1);
    limits_.mostPerPeer = std::max<std::size_t>(limits_.mostPerPeer, 1);
    limits_.requestSize = std::max<std::size_t>(limits_.requestSize, 1);
    mostHeld_ = limits_.mostWaiting;
}

std::size_t WaitingRoom::waitingFrom(Ipv4 peer) const {
    return static_cast<std::size_t>(std::count_if(
        waiting_.begin(), waiting_.end(), [&](const Guest& guest) { return guest.peer == peer; }));
}

void WaitingRoom::giveUp(std::size_t index) {
    Guest& guest = waiting_[index];
    ready_.push_back(Arrival{std::move(guest.socket), guest.peer, true, -1, {}});
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(index));
}

// Gives up the oldest silent connection of `only`, or, without it, of the
// address that holds the most (of those, the one that has waited longest).
// No address gains by having been pushed out before: only what it holds now
// counts. False when nothing is held.
bool WaitingRoom::giveUpOneOfMost(std::optional<Ipv4> only) {
    if (waiting_.empty())
        return false;
    std::map<Ipv4, std::size_t> held;
    for (const Guest& guest : waiting_) ++held[guest.peer];
    std::size_t most = 0;
    for (const auto& [peer, count] : held) most = std::max(most, count);
    for (std::size_t i = 0; i < waiting_.size(); ++i) {
        Ipv4 peer = waiting_[i].peer;
        if (only ? peer == *only : held[peer] == most) {
            giveUp(i);
            return true;
        }
    }
    return false;
}

void WaitingRoom::hold(Socket socket, Ipv4 peer) {
    if (waitingFrom(peer) >= limits_.mostPerPeer) {
        giveUpOneOfMost(peer);
    } else if (waiting_.size() >= mostHeld_) {
        giveUpOneOfMost();
    }
    waiting_.push_back(Guest{std::move(socket), peer, Clock::now() + limits_.firstBytes});
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

void WaitingRoom::passingError(int error) {
    acceptPausedUntil_ = Clock::now() + limits_.acceptPause;
    if (!limits_.report || !reported_.insert(error).second)
        return;
    char message[400];
    std::snprintf(message, sizeof message,
                  "accept: %s (error %d); still serving, accepting again every %lld ms while it "
                  "lasts\n",
                  socketErrorText(error).c_str(), error,
                  static_cast<long long>(limits_.acceptPause.count()));
    limits_.report(message);
}

// Accepts one connection, waiting for it in the accept when nothing else is
// held (a poll first would cost one more call per request). Units send their
// request right after connecting, so it is usually there already; if not, the
// connection joins the silent ones.
WaitingRoom::Accepted WaitingRoom::acceptOne() {
    Ipv4 peer = 0;
    Socket socket = acceptFrom(listener_, &peer);
    if (socket) {
        reported_.clear();
        if (!receiveFirst(socket, peer))
            hold(std::move(socket), peer);
        return Accepted::One;
    }
    int error = lastError();
    switch (lastAcceptFailure()) {
        case AcceptFailure::WouldBlock:
        case AcceptFailure::PeerGone:
        case AcceptFailure::Interrupted:
            // Looked at again at the next wait, which also minds the held ones.
            return Accepted::NoneNow;
        case AcceptFailure::NoResources:
            // Out of descriptors: hold two fewer silent connections from now
            // on, one descriptor for the connection waiting to be accepted
            // and one for the files its answer needs, and give up two to get
            // there. Serving the ready ones frees more.
            if (!waiting_.empty()) {
                std::size_t fits = std::min(mostHeld_, waiting_.size());
                mostHeld_ = fits > 3 ? fits - 2 : 1;
                giveUpOneOfMost();
                giveUpOneOfMost();
                return Accepted::NoneNow;
            }
            if (!ready_.empty())
                return Accepted::NoneNow;
            passingError(error);
            return Accepted::Passing;
        case AcceptFailure::ListenerGone:
            acceptError_ = error;
            return Accepted::Gone;
        case AcceptFailure::Other:
            break;
    }
    passingError(error);
    return Accepted::Passing;
}

// Accepts the pending connection, and more while the listener has them and
// none has its request in yet. False only when the listener is gone.
bool WaitingRoom::acceptSome() {
    for (int i = 0; i < kAcceptBatch; ++i) {
        if (i > 0 && (!ready_.empty() || !waitReadable(listener_, std::chrono::milliseconds(0))))
            return true;
        switch (acceptOne()) {
            case Accepted::One:
                break;
            case Accepted::NoneNow:
            case Accepted::Passing:
                return true;
            case Accepted::Gone:
                return false;
        }
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

// One wait for the listener (unless accepting pauses after an error) and
// every held connection; receives from those whose request came, in the order
// they were accepted, then accepts new connections if some are pending.
bool WaitingRoom::waitForInput() {
    bool listening = Clock::now() >= acceptPausedUntil_;
    if (waiting_.empty() && listening)
        return acceptOne() != Accepted::Gone;
    std::vector<Watch> watches;
    watches.reserve(waiting_.size() + 1);
    if (listening)
        watches.push_back(Watch{listener_.fd()});
    std::size_t firstGuest = watches.size();
    Clock::time_point soonest = listening ? Clock::time_point::max() : acceptPausedUntil_;
    for (const Guest& guest : waiting_) {
        watches.push_back(Watch{guest.socket.fd()});
        soonest = std::min(soonest, guest.deadline);
    }
    if (watches.empty()) {
        std::this_thread::sleep_until(soonest);
        return true;
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(soonest - Clock::now());
    if (waitAny(watches, std::max(left, std::chrono::milliseconds(0))) < 0) {
        passingError(lastError());
        return true;
    }
    std::deque<Guest> still;
    for (std::size_t i = firstGuest; i < watches.size(); ++i) {
        Guest& guest = waiting_[i - firstGuest];
        if (!watches[i].ready || !receiveFirst(guest.socket, guest.peer))
            still.push_back(std::move(guest));
    }
    waiting_ = std::move(still);
    return !(listening && watches[0].ready) || acceptSome();
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

}  // namespace platform
