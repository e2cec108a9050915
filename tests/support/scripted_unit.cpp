// SPDX-License-Identifier: Apache-2.0
#include "tests/support/scripted_unit.h"

#include <poll.h>

#include <cerrno>
#include <memory>

#include "protocol/payload.h"

namespace support {

namespace {

constexpr std::size_t kLargestFrame = 16 * 1024 * 1024;

template <typename Build>
Bytes built(std::size_t room, Build build) {
    Bytes b(room);
    b.resize(build(protocol::Bytes(b)));
    return b;
}

bool readable(int fd, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        int n = ::poll(&p, 1, 50);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}

}  // namespace

Bytes z(std::string_view text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

static Bytes framed(protocol::FrameType type, protocol::ConstBytes body) {
    return built(body.size() + protocol::kHeaderSize,
                 [&](protocol::Bytes b) { return protocol::buildFrame(b, type, body); });
}

Bytes frame(protocol::FrameType type, std::string_view body) {
    return framed(type, {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
}

Bytes modeReply(std::string_view text) {
    return framed(protocol::FrameType::ModeResponse, z(text));
}

Bytes errorReport(std::string_view text) {
    return framed(protocol::FrameType::ErrReport, z(text));
}

Bytes query(std::string_view text) {
    return built(text.size() + protocol::kHeaderSize + 1,
                 [&](protocol::Bytes b) { return protocol::buildQuery(b, text); });
}

Bytes dataText(protocol::DataSubtype subtype, std::string_view text, std::size_t zeroPadding) {
    return built(text.size() + protocol::kDataHeaderSize + zeroPadding, [&](protocol::Bytes b) {
        return protocol::buildDataText(b, subtype, text, zeroPadding);
    });
}

Bytes keepAlive() {
    return built(protocol::kDataHeaderSize,
                 [](protocol::Bytes b) { return protocol::buildKeepAlive(b); });
}

Bytes withCode(Bytes frame, std::string_view code) {
    std::copy_n(code.begin(), 4, frame.begin() + 4);
    return frame;
}

Bytes cut(Bytes bytes, std::size_t n) {
    if (bytes.size() > n)
        bytes.resize(n);
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string queryText(const Bytes& frame) {
    if (frame.size() <= protocol::kHeaderSize)
        return {};
    return std::string(
        protocol::textUntilZero(protocol::ConstBytes(frame).subspan(protocol::kHeaderSize)));
}

std::string codeAt(const Bytes& frame, std::size_t offset) {
    if (frame.size() < offset + 4)
        return {};
    return std::string(reinterpret_cast<const char*>(frame.data() + offset), 4);
}

std::uint32_t be32At(const Bytes& frame, std::size_t offset) {
    return frame.size() < offset + 4 ? 0 : protocol::readBE32(frame.data() + offset);
}

Answer trickle(Bytes bytes, std::chrono::milliseconds gap) {
    Answer answer(std::move(bytes));
    answer.byteGap = gap;
    return answer;
}

Answer keepAlivesForever(std::chrono::milliseconds gap) {
    Answer answer;
    answer.repeat = keepAlive();
    answer.repeatGap = gap;
    return answer;
}

Answer lengthThenSilence(std::uint32_t length) {
    Bytes header = {0, 0, 0, 0, 'M', 'O', 'D', 'R'};
    protocol::writeBE32(header.data(), length);
    return Answer(header);
}

ScriptedUnit::Responder ScriptedUnit::inTurn(std::vector<Answer> answers, Answer after) {
    auto next = std::make_shared<std::size_t>(0);
    return [answers = std::move(answers), after = std::move(after), next](const Bytes&) {
        return *next < answers.size() ? answers[(*next)++] : after;
    };
}

ScriptedUnit::ScriptedUnit(std::string address, Responder responder)
    : address_(std::move(address)), responder_(std::move(responder)) {
    start();
}

ScriptedUnit::~ScriptedUnit() {
    stop();
}

bool ScriptedUnit::start() {
    platform::Socket listener = platform::createTcpSocket();
    std::optional<platform::Ipv4> ip = platform::lookupHost(address_);
    if (!listener || !ip || !platform::setReuseAddress(listener) ||
        !platform::bindTo(listener, protocol::kUnitPort, *ip) || !platform::listenOn(listener, 4)) {
        return false;
    }
    stop_ = false;
    listener_ = std::move(listener);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ScriptedUnit::stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    listener_.close();
}

void ScriptedUnit::respond(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void ScriptedUnit::goSilent() {
    silent_ = true;
}

std::vector<Bytes> ScriptedUnit::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::size_t ScriptedUnit::frameCount() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

void ScriptedUnit::clearFrames() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

bool ScriptedUnit::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return frames_.size() >= count; });
}

int ScriptedUnit::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

int ScriptedUnit::closedByClient() const {
    std::lock_guard lock(mutex_);
    return closedByClient_;
}

bool ScriptedUnit::waitForClosedByClient(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return closedByClient_ >= count; });
}

void ScriptedUnit::count(int& counter) {
    {
        std::lock_guard lock(mutex_);
        ++counter;
    }
    changed_.notify_all();
}

void ScriptedUnit::run() {
    while (readable(listener_.fd(), stop_)) {
        platform::Socket connection = platform::acceptFrom(listener_);
        if (!connection)
            continue;
        count(connections_);
        serve(connection);
    }
}

bool ScriptedUnit::readExactly(const platform::Socket& connection, std::uint8_t* data,
                               std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        if (!readable(connection.fd(), stop_))
            return false;
        long n = platform::receiveSome(connection, data + got, size - got);
        if (n <= 0) {
            // End of stream, or a reset when the client closed with our
            // answer still unread: either way the client hung up.
            count(closedByClient_);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

void ScriptedUnit::serve(const platform::Socket& connection) {
    if (silent_) {
        // Take what comes but never answer, until the client gives up.
        std::uint8_t sink[256];
        while (readable(connection.fd(), stop_) &&
               platform::receiveSome(connection, sink, sizeof sink) > 0) {
        }
        if (!stop_)
            count(closedByClient_);
        return;
    }
    for (;;) {
        Bytes frame(4);
        if (!readExactly(connection, frame.data(), 4))
            return;
        std::uint32_t length = protocol::readBE32(frame.data());
        if (length < protocol::kHeaderSize || length > kLargestFrame)
            return;
        frame.resize(length);
        if (!readExactly(connection, frame.data() + 4, length - 4))
            return;
        Responder responder;
        {
            std::lock_guard lock(mutex_);
            frames_.push_back(frame);
            responder = responder_;
        }
        changed_.notify_all();
        Answer answer = responder ? responder(frame) : Answer{};
        if (!send(connection, answer))
            return;
        if (answer.close)
            return;
    }
}

}  // namespace support

namespace support {

// Waits `gap` in short steps so that stop() is never held up long.
bool ScriptedUnit::pause(std::chrono::milliseconds gap) {
    auto until = std::chrono::steady_clock::now() + gap;
    while (!stop_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min(gap, std::chrono::milliseconds(20)));
    return !stop_;
}

bool ScriptedUnit::send(const platform::Socket& connection, const Answer& answer) {
    if (answer.byteGap.count() == 0) {
        if (!answer.bytes.empty() &&
            !platform::sendAll(connection, answer.bytes.data(), answer.bytes.size()))
            return false;
    } else {
        for (std::uint8_t byte : answer.bytes) {
            if (!platform::sendAll(connection, &byte, 1) || !pause(answer.byteGap))
                return false;
        }
    }
    if (answer.repeat.empty())
        return true;
    // Bounded: a client that never hangs up still ends this after a minute.
    auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < end) {
        if (!platform::sendAll(connection, answer.repeat.data(), answer.repeat.size()) ||
            !pause(answer.repeatGap))
            return false;
    }
    return false;
}

}  // namespace support
