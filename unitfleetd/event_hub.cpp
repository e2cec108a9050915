// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/event_hub.h"

#include <algorithm>

namespace unitfleetd {

void EventStream::push(std::string text) {
    if (closed_)
        return;
    if (queue_.size() >= kMostQueued) {
        overflowed_ = true;
        queue_.clear();
    } else {
        queue_.push_back(std::move(text));
    }
    if (wake_) {
        auto wake = wake_;  // the writer may replace it while it runs
        wake();
    }
}

std::optional<std::string> EventStream::pop() {
    if (queue_.empty())
        return std::nullopt;
    std::string text = std::move(queue_.front());
    queue_.pop_front();
    return text;
}

std::shared_ptr<EventStream> EventHub::subscribe(const std::string& topic) {
    auto stream = std::make_shared<EventStream>(topic);
    streams_.push_back(stream);
    return stream;
}

void EventHub::publish(const std::string& topic, const std::string& name, const std::string& json) {
    std::string text = formatEvent(name, json);
    std::erase_if(streams_, [](const auto& w) {
        auto s = w.lock();
        return !s || s->closed();
    });
    for (const auto& w : std::vector(streams_))
        if (auto s = w.lock(); s && (s->topic().empty() || s->topic() == topic))
            s->push(text);
}

std::size_t EventHub::subscribers() {
    std::erase_if(streams_, [](const auto& w) { return w.expired(); });
    return streams_.size();
}

std::string formatEvent(const std::string& name, const std::string& json) {
    auto oneLine = [](std::string s) {
        std::replace(s.begin(), s.end(), '\n', ' ');
        std::replace(s.begin(), s.end(), '\r', ' ');
        return s;
    };
    return "event: " + oneLine(name) + "\ndata: " + oneLine(json) + "\n\n";
}

}  // namespace unitfleetd
