#include "tests/lumetra/scripted_unit.h"

#include <poll.h>

#include <cstring>

#include "protocol/frame.h"
#include "protocol/payload.h"

namespace lumetra_test {

namespace {

constexpr std::size_t kLargestFrame = 16 * 1024 * 1024;

Bytes frameOf(protocol::FrameType type, std::string_view text) {
    Bytes b(text.size() + 16);
    protocol::ConstBytes body(reinterpret_cast<const std::uint8_t*>(text.data()), text.size() + 1);
    b.resize(protocol::buildFrame(b, type, body));
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

Bytes modeResponse(std::string_view text) {
    return frameOf(protocol::FrameType::ModeResponse, text);
}
Bytes errorReport(std::string_view text) {
    return frameOf(protocol::FrameType::ErrReport, text);
}

Bytes keepAlive() {
    Bytes b(16);
    b.resize(protocol::buildKeepAlive(b));
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string queryText(const Bytes& frame) {
    if (frame.size() <= 8)
        return {};
    return std::string(protocol::textUntilZero(protocol::ConstBytes(frame).subspan(8)));
}

std::string codeAt(const Bytes& frame, std::size_t offset) {
    if (frame.size() < offset + 4)
        return {};
    return std::string(reinterpret_cast<const char*>(frame.data() + offset), 4);
}

std::uint32_t be32At(const Bytes& frame, std::size_t offset) {
    return frame.size() < offset + 4 ? 0 : protocol::readBE32(frame.data() + offset);
}

Bytes answerAsUnit(const UnitScript& script, const Bytes& frame) {
    if (codeAt(frame, 4) != "MDSQ")
        return {};
    std::string query = queryText(frame);
    if (query.empty())
        return modeResponse(script.definitions);
    if (query == "*")
        return modeResponse(script.values);
    if (query == "RESTART=TRUE")
        return {};
    if (query.find('=') != std::string::npos)
        return modeResponse("OK");
    return modeResponse(query + "=x");
}

ScriptedUnit::ScriptedUnit(std::string address, UnitScript script)
    : address_(std::move(address)),
      responder_([script](const Bytes& frame) { return answerAsUnit(script, frame); }) {
    net::Socket listener = net::createTcpSocket();
    std::optional<net::Ipv4> ip = net::lookupHost(address_);
    if (!listener || !ip || !net::setReuseAddress(listener) ||
        !net::bindTo(listener, protocol::kUnitPort, *ip) || !net::listenOn(listener, 4)) {
        return;
    }
    listener_ = std::move(listener);
    thread_ = std::thread([this] { run(); });
}

ScriptedUnit::~ScriptedUnit() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
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

void ScriptedUnit::run() {
    while (readable(listener_.fd(), stop_)) {
        net::Socket connection = net::acceptFrom(listener_);
        if (!connection)
            continue;
        {
            std::lock_guard lock(mutex_);
            ++connections_;
        }
        changed_.notify_all();
        serve(std::move(connection));
    }
}

bool ScriptedUnit::readExactly(const net::Socket& connection, std::uint8_t* data,
                               std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        if (!readable(connection.fd(), stop_))
            return false;
        long n = net::receiveSome(connection, data + got, size - got);
        if (n <= 0) {
            // End of stream, or a reset when the client closed with our
            // answer still unread: either way the client hung up.
            {
                std::lock_guard lock(mutex_);
                ++closedByClient_;
            }
            changed_.notify_all();
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

void ScriptedUnit::serve(net::Socket connection) {
    if (silent_) {
        // Take what comes but never answer, until the client gives up.
        std::uint8_t sink[256];
        while (readable(connection.fd(), stop_) &&
               net::receiveSome(connection, sink, sizeof sink) > 0) {
        }
        std::lock_guard lock(mutex_);
        ++closedByClient_;
        changed_.notify_all();
        return;
    }
    for (;;) {
        Bytes frame(4);
        if (!readExactly(connection, frame.data(), 4))
            return;
        std::uint32_t length = protocol::readBE32(frame.data());
        if (length < 8 || length > kLargestFrame)
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
        Bytes answer = responder ? responder(frame) : Bytes{};
        if (!answer.empty() && !net::sendAll(connection, answer.data(), answer.size()))
            return;
    }
}

}  // namespace lumetra_test
