// The in-process unit: one background thread serves every connection of the
// config port with poll, so a host's push is taken while another client
// holds a connection open, and a slow reply never holds up other clients.
#include "unitsim/unit.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "net/socket.h"
#include "protocol/payload.h"
#include "unitsim/journal.h"
#include "unitsim/messages.h"
#include "unitsim/session.h"

namespace unitsim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kOversizedLength = 0x7FFFFFF0;

struct Outgoing {
    std::vector<std::uint8_t> bytes;
    Clock::time_point due;
    std::string line;  // journal line, written when sending starts
    bool closeAfter = false;
    std::size_t sent = 0;
};

struct Connection {
    net::Socket socket;
    int id = 0;
    std::size_t stream = 0;  // index into the unit's streams
    std::vector<std::uint8_t> in;
    std::deque<Outgoing> out;
    SessionFlags flags;
    bool closing = false;  // take no more input; close once `out` is sent
    bool dead = false;
};

std::vector<std::uint8_t> frameBytes(protocol::FrameType type, std::string_view text) {
    std::vector<std::uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    std::vector<std::uint8_t> frame(protocol::kHeaderSize + body.size());
    std::size_t n = protocol::buildFrame(frame, type, body);
    frame.resize(n);
    return frame;
}

}  // namespace

struct Unit::State {
    explicit State(Options o)
        : options(std::move(o)), store(options.modes), faults(options.faults) {}

    Options options;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    ModeStore store;
    Faults faults;
    std::vector<Received> received;
    std::vector<std::vector<std::uint8_t>> streams;
    Journal journal;
    int connections = 0;

    // Owned by the serving thread while it runs.
    net::Socket listener;
    net::Socket wakeRead, wakeWrite;
    std::thread thread;
    std::vector<Connection> open;

    void serve();
    void acceptAll();
    void readFrom(Connection& c);
    void handle(Connection& c, protocol::ConstBytes message, bool framed);
    void queueReply(Connection& c, protocol::FrameType type, const std::string& text);
    void flush(Connection& c);
    void closeConnection(Connection& c, const char* why);
    void note(const Connection& c, const std::string& what) {
        std::lock_guard lock(mutex);
        journal.add("note #" + std::to_string(c.id) + " " + what);
    }
};

Unit::Unit(Options options) : state_(std::make_unique<State>(std::move(options))) {}

Unit::~Unit() {
    stop();
}

bool Unit::start(std::string* error) {
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        state_->listener.close();
        return false;
    };
    State& s = *state_;
    if (s.thread.joinable())
        return fail("unit already running");
    std::string where = s.options.address + ":" + std::to_string(s.options.port);
    auto address = net::lookupHost(s.options.address);
    if (!address)
        return fail("cannot resolve address " + s.options.address);
    if (!s.options.journalPath.empty()) {
        std::string why;
        std::lock_guard lock(s.mutex);
        if (!s.journal.openFile(s.options.journalPath, why))
            return fail(why);
    }
    s.listener = net::createTcpSocket();
    if (!s.listener)
        return fail(std::string("cannot create socket: ") + std::strerror(errno));
    net::setReuseAddress(s.listener);
    if (!net::bindTo(s.listener, s.options.port, *address))
        return fail("cannot bind " + where + ": " + std::strerror(errno));
    if (!net::listenOn(s.listener, 64))
        return fail("cannot listen on " + where + ": " + std::strerror(errno));
    ::fcntl(s.listener.fd(), F_SETFL, ::fcntl(s.listener.fd(), F_GETFL) | O_NONBLOCK);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(std::string("cannot make a pipe: ") + std::strerror(errno));
    s.wakeRead = net::Socket(fds[0]);
    s.wakeWrite = net::Socket(fds[1]);
    s.thread = std::thread([&s] { s.serve(); });
    return true;
}

void Unit::stop() {
    State& s = *state_;
    if (!s.thread.joinable())
        return;
    char byte = 1;
    while (::write(s.wakeWrite.fd(), &byte, 1) < 0 && errno == EINTR) {
    }
    s.thread.join();
    s.open.clear();
    s.listener.close();
    s.wakeRead.close();
    s.wakeWrite.close();
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
    return state_->changed.wait_for(lock, timeout,
                                    [&] { return state_->received.size() >= count; });
}

std::optional<std::string> Unit::value(const std::string& mode) const {
    std::lock_guard lock(state_->mutex);
    int i = state_->store.find(mode);
    if (i < 0)
        return std::nullopt;
    return state_->store[i].value;
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

// ---- the serving thread ----

void Unit::State::serve() {
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({wakeRead.fd(), POLLIN, 0});
        fds.push_back({listener.fd(), POLLIN, 0});
        auto now = Clock::now();
        int timeout = 1000;
        for (Connection& c : open) {
            short events = c.closing ? 0 : POLLIN;
            if (!c.out.empty()) {
                if (c.out.front().due <= now) {
                    events |= POLLOUT;
                } else {
                    auto wait =
                        std::chrono::ceil<std::chrono::milliseconds>(c.out.front().due - now);
                    timeout = std::min<int>(timeout, static_cast<int>(wait.count()));
                }
            }
            fds.push_back({c.socket.fd(), events, 0});
        }
        int n = ::poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0 && (fds[0].revents & POLLIN))
            break;
        if (n > 0 && (fds[1].revents & POLLIN))
            acceptAll();
        for (std::size_t i = 0; i < open.size(); ++i) {
            Connection& c = open[i];
            short revents = i + 2 < fds.size() ? fds[i + 2].revents : 0;
            if (revents & (POLLIN | POLLHUP | POLLERR))
                readFrom(c);
            if (!c.dead)
                flush(c);
        }
        std::erase_if(open, [](const Connection& c) { return c.dead; });
    }
}

void Unit::State::acceptAll() {
    for (;;) {
        net::Ipv4 peer = 0;
        net::Socket socket = net::acceptFrom(listener, &peer);
        if (!socket)
            return;
        net::setNoDelay(socket);
        Connection c;
        c.socket = std::move(socket);
        {
            std::lock_guard lock(mutex);
            c.id = ++connections;
            c.stream = streams.size();
            streams.emplace_back();
            journal.add("note #" + std::to_string(c.id) + " open from " + net::dotted(peer));
        }
        open.push_back(std::move(c));
    }
}

void Unit::State::readFrom(Connection& c) {
    std::uint8_t buffer[65536];
    long n = ::recv(c.socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        if (!c.closing && !c.in.empty()) {
            std::lock_guard lock(mutex);
            received.push_back({false, c.in});
            journal.add("recv " + describeLeftover(c.in));
            changed.notify_all();
        }
        closeConnection(c, "closed by peer");
        return;
    }
    {
        std::lock_guard lock(mutex);
        auto& stream = streams[c.stream];
        stream.insert(stream.end(), buffer, buffer + n);
    }
    if (c.closing)
        return;  // restarting: later input is not for this session
    c.in.insert(c.in.end(), buffer, buffer + n);
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

void Unit::State::handle(Connection& c, protocol::ConstBytes message, bool framed) {
    std::lock_guard lock(mutex);
    received.push_back({framed, {message.begin(), message.end()}});
    journal.add("recv " + (framed ? describeFrame(message) : describeText(message)));
    changed.notify_all();
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
    while (!c.out.empty() && c.out.front().due <= now) {
        Outgoing& o = c.out.front();
        if (o.sent == 0) {
            std::lock_guard lock(mutex);
            journal.add(o.line);
        }
        while (o.sent < o.bytes.size()) {
            long n = ::send(c.socket.fd(), o.bytes.data() + o.sent, o.bytes.size() - o.sent,
                            MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n < 0) {
                closeConnection(c, "closed: send failed");
                return;
            }
            o.sent += static_cast<std::size_t>(n);
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

void Unit::State::closeConnection(Connection& c, const char* why) {
    if (c.dead)
        return;
    note(c, why);
    c.socket.close();
    c.dead = true;
}

}  // namespace unitsim
