// SPDX-License-Identifier: Apache-2.0
// A TCP connection served by an event loop, for a program that holds
// thousands at once (the simulated units' config connections, the load
// generator's requests): the socket, its watch on the loop, one timer, and
// the system calls that may be interrupted or find the socket not ready, in
// one place. Linux only, as the event loop is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <utility>

#include "platform/event_loop.h"
#include "platform/socket.h"

namespace platform {

// What one receive or send on a connection did.
struct Transfer {
    enum class Kind {
        Moved,       // `bytes` bytes received or taken by the system
        WouldBlock,  // nothing to read, or no room to send, for now
        Closed,      // receive only: the peer closed its side
        Failed,      // `error` holds the system's error code
    };
    Kind kind = Kind::WouldBlock;
    std::size_t bytes = 0;
    int error = 0;
};

// What a failed connect, receive or send of a connection means, in words a
// report can count by: "connection refused", "connection reset", ...
std::string connectionFailure(int error);

// The caller derives its connection from this and gets onReady() and
// onTimer() calls from the loop for it. Every call belongs to the loop's thread.
class LoopConnection : public EventLoop::Handler {
  public:
    explicit LoopConnection(EventLoop& loop) : loop_(loop) {}
    ~LoopConnection() override { close(); }
    LoopConnection(const LoopConnection&) = delete;
    LoopConnection& operator=(const LoopConnection&) = delete;

    // An accepted socket, watched for input from now on; false when the loop
    // cannot watch it (the socket is closed then).
    bool adopt(Socket socket);

    // Starts a connect to `to`:`port` from `from` (0: any local address),
    // watched for its outcome (writable, or readable on a failure). False and
    // why when it fails at once (the socket is closed then). With a source address the port is
    // chosen at connect, per destination, so that thousands of connections from one address do not
    // run out of ports.
    bool connectTo(Ipv4 to, std::uint16_t port, Ipv4 from, std::string& error);
    // Once the connect was reported ready: false and why when it failed.
    bool connected(std::string& error) const;

    // One receive or send that does not wait.
    Transfer receive(void* data, std::size_t size);
    Transfer send(const void* data, std::size_t size);

    // What the loop watches the socket for; asks the system only on a change.
    bool watchFor(bool read, bool write);

    // One timer per connection, calling onTimer() when due: a new one
    // replaces the one set before.
    void timerAt(EventLoop::Clock::time_point due);
    void cancelTimer();
    bool timerSet() const { return timer_ != 0; }
    virtual void onTimer() {}

    // Unwatches, cancels the timer and closes the socket (at once; nothing
    // more of this connection is reported after).
    void close();
    bool isOpen() const { return socket_.valid(); }
    EventLoop& loop() { return loop_; }

  private:
    bool watchSocket(bool read, bool write);

    EventLoop& loop_;
    Socket socket_;
    bool watching_ = false;
    bool read_ = false, write_ = false;
    EventLoop::TimerId timer_ = 0;
};

// The connections a loop holds: a list whose items can remove themselves.
// T keeps its place in a member `std::list<T>::iterator place`.
template <class T>
class ConnectionList {
  public:
    template <class... Args>
    T& add(Args&&... args) {
        items_.emplace_back(std::forward<Args>(args)...);
        auto place = std::prev(items_.end());
        place->place = place;
        return *place;
    }
    void remove(T& item) { items_.erase(item.place); }
    void clear() { items_.clear(); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }

  private:
    std::list<T> items_;
};

}  // namespace platform
