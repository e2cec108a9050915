// SPDX-License-Identifier: Apache-2.0
#include "frontends/zorrel/host_server.h"

#include <algorithm>
#include <vector>

#include "platform/readiness.h"
#include "protocol/file_frame.h"

namespace zorrel {

namespace {

using Clock = std::chrono::steady_clock;

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of("/\\:") == std::string_view::npos;
}

}  // namespace

HostServer::HostServer(std::string fileDirectory, HostServerLimits limits)
    : fileDirectory_(std::move(fileDirectory)), limits_(limits) {}

bool HostServer::start(std::uint16_t port, platform::Ipv4 address) {
    stop();
    platform::Socket socket = platform::createTcpSocket();
    // Non-blocking: a connection seen by the readiness check may be gone by
    // the accept (Windows and BSD drop a reset one), and that must not hold
    // the window until the next unit connects.
    if (!socket || !platform::setReuseAddress(socket) || !platform::bindTo(socket, port, address) ||
        !platform::listenOn(socket, 10) || !platform::setNonBlocking(socket, true))
        return false;
    listener_ = std::move(socket);
    return true;
}

void HostServer::stop() {
    endConnection();
    listener_.close();
}

void HostServer::endConnection() {
    connection_.close();
    size_ = 0;
    request_ = {};
}

int HostServer::poll() {
    endConnection();
    if (!listener_ || !platform::waitReadable(listener_, std::chrono::milliseconds(0)))
        return kPollNothing;
    return takeWaitingUnit();
}

int HostServer::takeWaitingUnit() {
    endConnection();
    if (!listener_)
        return kPollNothing;
    connection_ = platform::acceptFrom(listener_);
    if (!connection_) {
        switch (platform::lastAcceptFailure()) {
            case platform::AcceptFailure::WouldBlock:
            case platform::AcceptFailure::Interrupted:
            case platform::AcceptFailure::PeerGone:
                return kPollNothing;
            default:
                return kPollFailed;
        }
    }
    // Windows hands the listener's non-blocking mode on to the connection;
    // its reads wait with a bound of their own and its sends with a deadline.
    platform::setNonBlocking(connection_, false);
    if (!readRequest()) {
        endConnection();
        return kPollFailed;
    }
    request_ = protocol::classifyRequest(requestBytes());
    return request_.isFrame ? kPollNominal : kPollTrivial;
}

// Reads until the request is whole (a frame's length field is reached, or
// trivial text's zero byte), the peer closes, the buffer is full or the
// bound passes. False when nothing arrived.
bool HostServer::readRequest() {
    const auto deadline = Clock::now() + limits_.requestBound;
    while (size_ < buffer_.size() && !requestComplete()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !platform::waitReadable(connection_, left))
            break;
        long got = platform::receiveSome(connection_, buffer_.data() + size_, buffer_.size() - size_);
        if (got <= 0)
            break;
        size_ += static_cast<std::size_t>(got);
    }
    return size_ > 0;
}

bool HostServer::requestComplete() const {
    if (size_ == 0)
        return false;
    if (buffer_[0] != 0)  // trivial text ends with its zero byte
        return std::find(buffer_.begin(), buffer_.begin() + size_, 0) != buffer_.begin() + size_;
    return size_ >= 4 && size_ >= protocol::readBE32(buffer_.data());
}

std::string_view HostServer::trivialText() const {
    if (size_ == 0 || request_.isFrame)
        return {};
    return protocol::textUntilZero(requestBytes());
}

int HostServer::packetKind() const {
    if (size_ == 0 || !request_.isFrame)
        return 0;
    return static_cast<int>(request_.type) + 1;
}

protocol::ProductQuery HostServer::productQuery() const {
    if (!request_.isFrame || request_.type != protocol::FrameType::ProductQuery ||
        size_ <= protocol::kHeaderSize)
        return {};
    return protocol::splitProductQuery(
        protocol::textUntilZero(requestBytes().subspan(protocol::kHeaderSize)));
}

protocol::Event HostServer::event() const {
    if (!request_.isFrame || request_.type != protocol::FrameType::Event)
        return {};
    auto frame = protocol::FrameView::from(requestBytes());
    return frame ? protocol::readEvent(*frame) : protocol::Event{};
}

// One deadline for the whole answer: a unit that reads a trickle keeps each
// single send going, but not the window past the bound.
long HostServer::sendBytes(protocol::ConstBytes bytes) {
    return platform::sendAllWithin(connection_, bytes.data(), bytes.size(), limits_.sendBound)
               ? static_cast<long>(bytes.size())
               : -1;
}

long HostServer::sendText(std::string_view text) {
    if (!connection_)
        return 0;
    if (!request_.isFrame) {
        std::vector<std::uint8_t> answer(text.begin(), text.end());
        answer.push_back(0);
        return sendBytes(answer);
    }
    std::vector<std::uint8_t> frame(protocol::kDataHeaderSize + text.size() +
                                    protocol::kHostTextPadding);
    std::size_t length = protocol::buildDataText(frame, protocol::DataSubtype::DisplayText, text,
                                                 protocol::kHostTextPadding);
    if (length != frame.size())
        return -1;
    return sendBytes(frame);
}

long HostServer::sendFile(std::string_view name) {
    if (!connection_)
        return 0;
    if (!isPlainFileName(name))
        return -1;
    // Joined as bytes: a std::filesystem::path made from a std::string reads
    // it in the system code page on Windows, which would garble UTF-8.
    const std::string path =
        fileDirectory_.empty() ? std::string(name) : fileDirectory_ + "/" + std::string(name);
    auto frame = protocol::loadFileFrame(path, protocol::kFileKindImage, {}, limits_.maxFileFrame);
    if (!frame)
        return -1;
    return sendBytes(*frame);
}

}  // namespace zorrel
