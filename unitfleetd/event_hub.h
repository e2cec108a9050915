// SPDX-License-Identifier: Apache-2.0
// Server-sent events: the hub hands each published event to the streams
// whose topic matches; each stream queues its events for one connection.
// Everything here runs on the server's thread.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace unitfleetd {

class EventStream {
  public:
    // A client that has fallen this many events behind is dropped rather
    // than let its queue grow.
    static constexpr std::size_t kMostQueued = 1000;

    explicit EventStream(std::string topic) : topic_(std::move(topic)) {}
    const std::string& topic() const { return topic_; }

    // Queues one event ("event: NAME\ndata: JSON\n\n") and wakes the writer.
    void push(std::string text);
    std::optional<std::string> pop();
    // The connection sets what wakes it; it clears it when it closes.
    void setWake(std::function<void()> wake) { wake_ = std::move(wake); }
    void close() {
        closed_ = true;
        wake_ = nullptr;
    }
    bool closed() const { return closed_; }
    bool overflowed() const { return overflowed_; }

  private:
    std::string topic_;
    std::deque<std::string> queue_;
    std::function<void()> wake_;
    bool closed_ = false;
    bool overflowed_ = false;
};

class EventHub {
  public:
    // topic "" receives everything; "job/7" only job 7's events.
    std::shared_ptr<EventStream> subscribe(const std::string& topic);
    // Sends to subscribers of "" and of `topic`.
    void publish(const std::string& topic, const std::string& name, const std::string& json);
    std::size_t subscribers();

  private:
    std::vector<std::weak_ptr<EventStream>> streams_;
};

// One event in the stream's wire form; `name` and `json` hold no newline
// (JSON text from nlohmann never does when dumped compactly).
std::string formatEvent(const std::string& name, const std::string& json);

}  // namespace unitfleetd
