// SPDX-License-Identifier: Apache-2.0
// The in-process unit on an event loop: the listener and every connection of
// the config port are watched by one loop thread (the unit's own, or one that
// many units share), so a host's push is taken while another client holds a
// connection open, and a slow reply never holds up other clients.
#include "unitsim/unit.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/event_loop.h"
#include "platform/loop_connection.h"
#include "platform/socket.h"
#include "protocol/payload.h"
#include "unitsim/journal.h"
#include "unitsim/messages.h"
#include "unitsim/session.h"

namespace unitsim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr std::uint32_t kOversizedLength = 0x7FFFFFF0;
constexpr std::size_t kKeptReceived = 65536;
constexpr std::size_t kKeptStreams = 65536;
constexpr std::size_t kKeptStreamBytes = 16u << 20;
// Out of descriptors: the listener rests this long before it accepts again,
// rather than waking its loop for ever while the backlog stays full.
constexpr auto kAcceptRest = 50ms;

struct Outgoing {
    std::vector<std::uint8_t> bytes;
    Clock::time_point due;
    std::string line;  // journal line, written when sending starts
    bool closeAfter = false;
    std::size_t sent = 0;
};

std::vector<std::uint8_t> frameBytes(protocol::FrameType type, std::string_view text) {
    std::vector<std::uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    std::vector<std::uint8_t> frame(protocol::kHeaderSize + body.size());
    std::size_t n = protocol::buildFrame(frame, type, body);
    frame.resize(n);
    return frame;
}

std::shared_ptr<const std::vector<ModeDef>> tableOf(Options& options) {
    if (options.sharedModes)
        return std::move(options.sharedModes);
    return std::make_shared<const std::vector<ModeDef>>(std::move(options.modes));
}

}  // namespace

struct Unit::State : platform::EventLoop::Handler {
    struct Connection : platform::LoopConnection {
        explicit Connection(State& owner) : LoopConnection(owner.events()), unit(owner) {}
        void onReady(bool readable, bool writable) override {
            unit.serveConnection(*this, readable, writable);
        }
        void onTimer() override { unit.serveConnection(*this, false, false); }
        State& unit;
        int id = 0;
        std::size_t stream = SIZE_MAX;  // index into the unit's streams; none past the bound
        std::vector<std::uint8_t> in;
        std::deque<Outgoing> out;
        SessionFlags flags;
        bool closing = false;  // take no more input; close once `out` is sent
        bool dead = false;
        bool writing = false;  // a reply waits for room to send
        std::list<Connection>::iterator place;
    };

    explicit State(Options o)
        : address(std::move(o.address)),
          port(o.port),
          journalPath(std::move(o.journalPath)),
          keepRecords(o.keepRecords),
          store(tableOf(o), std::move(o.identity)),
          faults(std::move(o.faults)) {
        journal.keepInMemory(keepRecords);
    }

    // What is left of the options once the table and the faults are taken:
    // thousands of units in one process keep no second copy of the rest.
    std::string address;
    std::uint16_t port;
    std::string journalPath;
    bool keepRecords;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    ModeStore store;
    Faults faults;
    std::vector<Received> received;
    std::size_t receivedCount = 0;  // all of them, also those no longer kept
    std::vector<std::vector<std::uint8_t>> streams;
    Journal journal;
    int connections = 0;

    // The loop's, while the unit serves.
    platform::LoopThread* loop = nullptr;
    std::unique_ptr<platform::LoopThread> ownLoop;
    platform::Socket listener;
    bool listening = false;
    platform::EventLoop::TimerId restTimer = 0;
    platform::ConnectionList<Connection> open;

    platform::EventLoop& events() { return loop->loop(); }
    void onReady(bool readable, bool) override {
        if (readable)
            acceptAll();
    }
    void listen();
    void shutDown();
    void acceptAll();
    void serveConnection(Connection& c, bool readable, bool writable);
    void readFrom(Connection& c);
    void record(const Connection& c, const std::uint8_t* bytes, std::size_t n);
    void keepReceived(bool framed, protocol::ConstBytes message);
    void handle(Connection& c, protocol::ConstBytes message, bool framed);
    void queueReply(Connection& c, protocol::FrameType type, const std::string& text);
    void flush(Connection& c);
    void watchFor(Connection& c);
    void closeConnection(Connection& c, const char* why);
    void note(const Connection& c, const std::string& what) {
        std::lock_guard lock(mutex);
        journal.add("note #" + std::to_string(c.id) + " " + what);
    }
};

Unit::Unit(Options options) : state_(std::make_unique<State>(std::move(options))) {}

Unit::Unit(Options options, platform::LoopThread& loop) : Unit(std::move(options)) {
    state_->loop = &loop;
}

Unit::~Unit() {
    stop();
}

bool Unit::start(std::string& error) {
    auto fail = [&](std::string why) {
        error = std::move(why);
        state_->listener.close();
        return false;
    };
    State& s = *state_;
    if (s.listener)
        return fail("unit already running");
    std::string where = s.address + ":" + std::to_string(s.port);
    auto address = platform::lookupHost(s.address);
    if (!address)
        return fail("cannot resolve address " + s.address);
    if (!s.journalPath.empty()) {
        std::string why;
        std::lock_guard lock(s.mutex);
        if (!s.journal.openFile(s.journalPath, why))
            return fail(why);
    }
    s.listener = platform::createTcpSocket();
    if (!s.listener)
        return fail(std::string("cannot create socket: ") + std::strerror(errno));
    platform::setReuseAddress(s.listener);
    if (!platform::bindTo(s.listener, s.port, *address))
        return fail("cannot bind " + where + ": " + std::strerror(errno));
    if (!platform::listenOn(s.listener, 64))
        return fail("cannot listen on " + where + ": " + std::strerror(errno));
    platform::setNonBlocking(s.listener, true);
    if (!s.loop || s.ownLoop) {
        s.ownLoop = std::make_unique<platform::LoopThread>();
        std::string why;
        if (!s.ownLoop->start(why))
            return fail(why);
        s.loop = s.ownLoop.get();
    }
    bool watched = false;
    s.loop->call([&] {
        s.listen();
        watched = s.listening;
    });
    if (!watched)
        return fail(std::string("cannot watch ") + where + ": " + std::strerror(errno));
    return true;
}

void Unit::stop() {
    State& s = *state_;
    if (!s.listener)
        return;
    s.loop->call([&s] { s.shutDown(); });
    if (s.ownLoop)
        s.ownLoop->stop();
}

void Unit::setFaults(const Faults& faults) {
    std::lock_guard lock(state_->mutex);
    state_->faults = faults;
}

std::vector<Received> Unit::received() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

std::vector<std::string> Unit::journal() const {
    std::lock_guard lock(state_->mutex);
    return state_->journal.lines();
}

bool Unit::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->receivedCount >= count; });
}

std::optional<std::string> Unit::value(const std::string& mode) const {
    std::lock_guard lock(state_->mutex);
    int i = state_->store.find(mode);
    if (i < 0)
        return std::nullopt;
    return state_->store.value(i);
}

std::optional<std::string> Unit::committedValue(const std::string& mode) const {
    std::lock_guard lock(state_->mutex);
    int i = state_->store.find(mode);
    if (i < 0)
        return std::nullopt;
    return state_->store.committed(i);
}

int Unit::connections() const {
    std::lock_guard lock(state_->mutex);
    return state_->connections;
}

std::vector<std::vector<std::uint8_t>> Unit::streams() const {
    std::lock_guard lock(state_->mutex);
    return state_->streams;
}

// ---- on the loop's thread ----

void Unit::State::listen() {
    listening = events().watch(listener.fd(), *this, true, false);
}

void Unit::State::shutDown() {
    if (restTimer)
        events().cancel(restTimer);
    restTimer = 0;
    if (listening)
        events().unwatch(listener.fd(), *this);
    listening = false;
    open.clear();
    listener.close();
}

void Unit::State::acceptAll() {
    for (;;) {
        platform::Ipv4 peer = 0;
        platform::Socket socket = platform::acceptFrom(listener, &peer);
        if (!socket) {
            platform::AcceptFailure why = platform::lastAcceptFailure();
            if (why == platform::AcceptFailure::Interrupted || why == platform::AcceptFailure::PeerGone)
                continue;
            if (why == platform::AcceptFailure::NoResources && listening) {
                events().unwatch(listener.fd(), *this);
                listening = false;
                restTimer = events().at(Clock::now() + kAcceptRest, [this] {
                    restTimer = 0;
                    listen();
                });
            }
            return;
        }
        platform::setNoDelay(socket);
        Connection& c = open.add(*this);
        {
            std::lock_guard lock(mutex);
            c.id = ++connections;
            if (keepRecords && streams.size() < kKeptStreams) {
                c.stream = streams.size();
                streams.emplace_back();
            }
            journal.add("note #" + std::to_string(c.id) + " open from " + platform::dotted(peer));
        }
        if (!c.adopt(std::move(socket))) {
            closeConnection(c, "closed by unit");
            open.remove(c);
        }
    }
}

// Everything a ready connection needs; it may be gone when this returns.
void Unit::State::serveConnection(Connection& c, bool readable, bool) {
    if (readable)
        readFrom(c);
    if (!c.dead)
        flush(c);
    if (!c.dead)
        watchFor(c);
    if (c.dead)
        open.remove(c);
}

void Unit::State::readFrom(Connection& c) {
    std::uint8_t buffer[65536];
    platform::Transfer got = c.receive(buffer, sizeof buffer);
    if (got.kind == platform::Transfer::Kind::WouldBlock)
        return;
    if (got.kind != platform::Transfer::Kind::Moved) {
        if (!c.closing && !c.in.empty()) {
            std::lock_guard lock(mutex);
            keepReceived(false, c.in);
            journal.add("recv " + describeLeftover(c.in));
        }
        closeConnection(c, "closed by peer");
        return;
    }
    record(c, buffer, got.bytes);
    if (c.closing)
        return;  // restarting: later input is not for this session
    c.in.insert(c.in.end(), buffer, buffer + got.bytes);
    std::size_t used = 0;
    while (!c.closing && !c.dead) {
        protocol::ConstBytes pending(c.in.data() + used, c.in.size() - used);
        Cut cut = cutMessage(pending);
        if (cut.kind == CutKind::NeedMore)
            break;
        if (cut.kind == CutKind::BadLength) {
            note(c, "bad length " + std::to_string(cut.badLength) + ", closing");
            closeConnection(c, "closed by unit");
            return;
        }
        handle(c, pending.subspan(0, cut.size), cut.kind == CutKind::Frame);
        used += cut.size;
    }
    c.in.erase(c.in.begin(), c.in.begin() + static_cast<std::ptrdiff_t>(used));
}

void Unit::State::record(const Connection& c, const std::uint8_t* bytes, std::size_t n) {
    if (c.stream == SIZE_MAX)
        return;
    std::lock_guard lock(mutex);
    auto& stream = streams[c.stream];
    n = std::min(n, kKeptStreamBytes - std::min(kKeptStreamBytes, stream.size()));
    stream.insert(stream.end(), bytes, bytes + n);
}

// Called with the mutex held.
void Unit::State::keepReceived(bool framed, protocol::ConstBytes message) {
    ++receivedCount;
    if (keepRecords) {
        if (received.size() >= kKeptReceived)
            received.erase(received.begin(), received.begin() + kKeptReceived / 4);
        received.push_back({framed, {message.begin(), message.end()}});
    }
    changed.notify_all();
}

void Unit::State::handle(Connection& c, protocol::ConstBytes message, bool framed) {
    std::lock_guard lock(mutex);
    keepReceived(framed, message);
    journal.add("recv " + (framed ? describeFrame(message) : describeText(message)));
    if (!framed)
        return;
    auto frame = protocol::FrameView::from(message);
    if (!frame || frame->type() != protocol::FrameType::TarnixQuery)
        return;
    Answer answer = answerQuery(frame->bodyText(), store, c.flags, faults);
    if (answer.restart) {
        store.dropUncommitted();
        journal.add("note #" + std::to_string(c.id) + " restart: uncommitted values dropped");
        c.closing = true;
        return;
    }
    if (answer.reply && !faults.silent)
        queueReply(c, answer.type, answer.text);
}

// Called with the mutex held: consumes the one-shot faults.
void Unit::State::queueReply(Connection& c, protocol::FrameType type, const std::string& text) {
    auto now = Clock::now();
    auto earliest = c.out.empty() ? now : c.out.back().due;
    for (int i = 0; i < faults.keepAlivesBeforeReply; ++i) {
        std::vector<std::uint8_t> nop(protocol::kDataHeaderSize);
        nop.resize(protocol::buildKeepAlive(nop));
        c.out.push_back({std::move(nop), std::max(now, earliest), "send DATA NOP_"});
    }
    Outgoing reply;
    reply.bytes = frameBytes(type, text);
    reply.line = "send " + describeFrame(reply.bytes);
    reply.due = std::max(now + faults.replyDelay, earliest);
    if (faults.oversizedLength) {
        faults.oversizedLength = false;
        protocol::writeBE32(reply.bytes.data(), kOversizedLength);
        reply.line += " (length field 0x7FFFFFF0)";
    }
    if (faults.dropMidFrame) {
        faults.dropMidFrame = false;
        std::size_t whole = reply.bytes.size();
        reply.bytes.resize(whole / 2);
        reply.closeAfter = true;
        reply.line += " (cut after " + std::to_string(whole / 2) + " of " + std::to_string(whole) +
                      " bytes, closed)";
    }
    c.out.push_back(std::move(reply));
}

void Unit::State::flush(Connection& c) {
    auto now = Clock::now();
    c.writing = false;
    while (!c.out.empty() && c.out.front().due <= now) {
        Outgoing& o = c.out.front();
        if (o.sent == 0) {
            std::lock_guard lock(mutex);
            journal.add(o.line);
        }
        while (o.sent < o.bytes.size()) {
            platform::Transfer put = c.send(o.bytes.data() + o.sent, o.bytes.size() - o.sent);
            if (put.kind == platform::Transfer::Kind::WouldBlock) {
                c.writing = true;
                return;
            }
            if (put.kind != platform::Transfer::Kind::Moved) {
                closeConnection(c, "closed: send failed");
                return;
            }
            o.sent += put.bytes;
        }
        bool closeAfter = o.closeAfter;
        c.out.pop_front();
        if (closeAfter) {
            closeConnection(c, "closed by unit");
            return;
        }
    }
    if (c.closing && c.out.empty())
        closeConnection(c, "closed by unit");
}

// Input while the session lasts, room to send while a reply is stuck, and a
// timer for a reply that is not due yet.
void Unit::State::watchFor(Connection& c) {
    c.watchFor(!c.closing, c.writing);
    if (!c.writing && !c.out.empty())
        c.timerAt(c.out.front().due);
    else
        c.cancelTimer();
}

void Unit::State::closeConnection(Connection& c, const char* why) {
    if (c.dead)
        return;
    note(c, why);
    c.close();
    c.dead = true;
}

}  // namespace unitsim
