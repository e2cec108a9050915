#include "tests/checkers/fake_unit.h"

#include <fcntl.h>
#include <poll.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include "net/socket.h"

namespace checkers_test {

namespace {

constexpr std::size_t kQuerySize = 19;
using Clock = std::chrono::steady_clock;

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

Bytes frame(std::string_view code, std::string_view body) {
    Bytes out(8 + body.size());
    std::uint32_t length = static_cast<std::uint32_t>(out.size());
    out[0] = static_cast<std::uint8_t>(length >> 24);
    out[1] = static_cast<std::uint8_t>(length >> 16);
    out[2] = static_cast<std::uint8_t>(length >> 8);
    out[3] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(code[i]);
    for (std::size_t i = 0; i < body.size(); ++i) out[8 + i] = static_cast<std::uint8_t>(body[i]);
    return out;
}

Bytes modeReply(std::string_view text) {
    std::string body(text);
    body.push_back('\0');
    return frame("MODR", body);
}

Bytes cut(Bytes bytes, std::size_t n) {
    if (bytes.size() > n) bytes.resize(n);
    return bytes;
}

struct ScriptedUnit::State {
    std::string address;
    std::uint16_t port;
    net::Socket listener;
    std::thread thread;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::deque<Answer> answers;
    Answer fallback;
    std::vector<Bytes> queries;
    std::atomic<int> connections{0};

    Answer nextAnswer() {
        std::lock_guard lock(mutex);
        if (answers.empty()) return fallback;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    Bytes readQuery(const net::Socket& s) {
        Bytes query(kQuerySize);
        std::size_t got = 0;
        auto deadline = Clock::now() + std::chrono::seconds(3);
        while (got < kQuerySize && Clock::now() < deadline && !stopping) {
            if (!readable(s.fd(), 50)) continue;
            long n = net::receiveSome(s, query.data() + got, kQuerySize - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        query.resize(got);
        return query;
    }

    // Holds a silent connection until the client gives up (bounded).
    void waitForClose(const net::Socket& s) {
        auto deadline = Clock::now() + std::chrono::seconds(30);
        std::uint8_t byte;
        while (Clock::now() < deadline && !stopping) {
            if (!readable(s.fd(), 50)) continue;
            if (net::receiveSome(s, &byte, 1) <= 0) return;
        }
    }

    void serve(net::Socket s) {
        Bytes query = readQuery(s);
        {
            std::lock_guard lock(mutex);
            queries.push_back(query);
        }
        Answer answer = nextAnswer();
        if (answer.silent) {
            waitForClose(s);
        } else if (!answer.bytes.empty()) {
            net::sendAll(s, answer.bytes.data(), answer.bytes.size());
        }
        ++connections;
    }

    void loop() {
        while (!stopping) {
            if (!readable(listener.fd(), 50)) continue;
            net::Socket s = net::acceptFrom(listener);
            if (s) serve(std::move(s));
        }
    }
};

ScriptedUnit::ScriptedUnit(std::string address, std::uint16_t port) : state_(new State) {
    state_->address = std::move(address);
    state_->port = port;
}

ScriptedUnit::~ScriptedUnit() { stop(); }

bool ScriptedUnit::start() {
    auto address = net::lookupHost(state_->address);
    state_->listener = net::createTcpSocket();
    if (!address || !state_->listener) return false;
    // Programs that tests start must not inherit the listener: a copy held
    // open by a child keeps the port accepting after stop().
    fcntl(state_->listener.fd(), F_SETFD, FD_CLOEXEC);
    net::setReuseAddress(state_->listener);
    if (!net::bindTo(state_->listener, state_->port, *address) ||
        !net::listenOn(state_->listener, 10)) {
        state_->listener.close();
        return false;
    }
    state_->stopping = false;
    state_->thread = std::thread([this] { state_->loop(); });
    return true;
}

void ScriptedUnit::stop() {
    state_->stopping = true;
    if (state_->thread.joinable()) state_->thread.join();
    state_->listener.close();
}

void ScriptedUnit::script(std::vector<Answer> answers, Answer fallback) {
    std::lock_guard lock(state_->mutex);
    state_->answers.assign(answers.begin(), answers.end());
    state_->fallback = std::move(fallback);
}

int ScriptedUnit::connections() const { return state_->connections; }

std::vector<Bytes> ScriptedUnit::queries() const {
    std::lock_guard lock(state_->mutex);
    return state_->queries;
}

bool ScriptedUnit::waitForConnections(int count, std::chrono::milliseconds timeout) const {
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (connections() >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return connections() >= count;
}

}  // namespace checkers_test

namespace checkers_test {

Capture::Capture() : file_(std::tmpfile()) {}

Capture::~Capture() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string Capture::text() const {
    std::fflush(file_);
    long end = std::ftell(file_);
    std::string all(static_cast<std::size_t>(end < 0 ? 0 : end), '\0');
    std::rewind(file_);
    std::size_t n = std::fread(all.data(), 1, all.size(), file_);
    all.resize(n);
    std::fseek(file_, 0, SEEK_END);
    return all;
}

}  // namespace checkers_test
