// SPDX-License-Identifier: Apache-2.0
// The load run: one event loop in the caller's thread holds every request in
// flight. Open loop: request i is due at start + i / rate whatever happened to
// the ones before, and its reply time runs from that due time, so a server
// that falls behind shows as latency, not as a lower send rate.
#include "loadgen/load_run.h"

#include <algorithm>

#include "loadgen/answer.h"
#include "platform/event_loop.h"
#include "platform/loop_connection.h"

namespace loadgen {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kKeptAnswer = 65536;  // bytes of an answer kept for checking
constexpr std::size_t kSamples = 3;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Keeps `sample` when it is new and there is room.
void keepSample(std::vector<std::string>& samples, std::string sample) {
    if (samples.size() < kSamples &&
        std::find(samples.begin(), samples.end(), sample) == samples.end())
        samples.push_back(std::move(sample));
}

class LoadRun {
  public:
    LoadRun(const LoadPlan& plan, const LoadProgress& progress)
        : plan_(plan), progress_(progress) {}

    LoadResult run() {
        auto target = platform::lookupHost(plan_.host);
        if (!target) {
            result_.error = "cannot resolve host '" + plan_.host + "'";
            return result_;
        }
        if (!loop_.valid()) {
            result_.error = loop_.error();
            return result_;
        }
        target_ = *target;
        begin_ = Clock::now();
        if (progress_)
            tick();
        pump();
        if (!done())
            loop_.run();
        result_.seconds = std::chrono::duration<double>(Clock::now() - begin_).count();
        return result_;
    }

  private:
    enum class Phase { Connecting, Sending, Reading };

    struct Request : platform::LoopConnection {
        Request(LoadRun& r, std::size_t i) : LoopConnection(r.loop_), run(r), index(i) {}
        void onReady(bool readable, bool writable) override { run.step(*this, readable, writable); }
        void onTimer() override { run.timedOut(*this); }
        LoadRun& run;
        std::size_t index;
        Phase phase = Phase::Connecting;
        Clock::time_point due;  // reply time counts from here
        std::size_t sentBytes = 0;
        MessageBytes answer;
        std::size_t answerBytes = 0;  // all of them, also those not kept
        bool over = false;
        std::list<Request>::iterator place;
    };

    bool openLoop() const { return plan_.rate > 0; }
    std::size_t inFlightLimit() const {
        return openLoop() ? kMaxInFlight : std::max<std::size_t>(plan_.concurrency, 1);
    }
    Clock::time_point dueOf(std::size_t i) const {
        auto offset = std::chrono::duration<double>(static_cast<double>(i) / plan_.rate);
        return begin_ + std::chrono::duration_cast<Clock::duration>(offset);
    }
    bool moreToSend(Clock::time_point now) const {
        if (plan_.count && started_ >= plan_.count)
            return false;
        if (plan_.duration.count() == 0)
            return true;
        auto when = openLoop() ? dueOf(started_) : now;
        return when < begin_ + plan_.duration;
    }
    bool done() const { return !moreToSend(Clock::now()) && open_.empty(); }

    // Starts every request that is due and has room; then waits for the next.
    void pump() {
        auto now = Clock::now();
        while (moreToSend(now) && open_.size() < inFlightLimit()) {
            auto due = openLoop() ? dueOf(started_) : now;
            if (due > now)
                break;
            start(due, now);
        }
        if (openLoop() && !pumpTimer_ && moreToSend(now) && open_.size() < inFlightLimit()) {
            pumpTimer_ = loop_.at(dueOf(started_), [this] {
                pumpTimer_ = 0;
                pump();
            });
        }
        if (done())
            loop_.quit();
    }

    void tick() {
        loop_.at(Clock::now() + 1s, [this] {
            progress_(result_);
            tick();
        });
    }

    void start(Clock::time_point due, Clock::time_point now) {
        std::size_t index = started_++;
        ++result_.sent;
        double lateMs = msBetween(due, now);
        if (now - due > kLateAfter)
            ++result_.late;
        result_.latestMs = std::max(result_.latestMs, lateMs);
        Request& r = open_.add(*this, index);
        r.due = due;
        platform::Ipv4 from = plan_.sources.empty() ? 0 : plan_.sources[index % plan_.sources.size()];
        std::string why;
        if (!r.connectTo(target_, plan_.port, from, why)) {
            fail(r, why);
            open_.remove(r);
            return;
        }
        r.timerAt(now + plan_.timeout);
    }

    void timedOut(Request& r) {
        fail(r, r.phase == Phase::Connecting ? "no connection within the time-out"
                : r.phase == Phase::Sending  ? "send not taken within the time-out"
                : r.answer.empty()           ? "no answer within the time-out"
                                             : "answer not closed within the time-out");
        finish(r);
    }

    void step(Request& r, bool readable, bool writable) {
        if (r.phase == Phase::Connecting && (writable || readable)) {
            std::string why;
            if (r.connected(why))
                r.phase = Phase::Sending;
            else
                fail(r, why);
        }
        if (!r.over && r.phase == Phase::Sending)
            send(r);
        if (!r.over && r.phase == Phase::Reading && readable)
            receive(r);
        if (r.over)
            finish(r);
    }

    void send(Request& r) {
        const MessageBytes& bytes = messageOf(r).bytes;
        while (r.sentBytes < bytes.size()) {
            platform::Transfer put = r.send(bytes.data() + r.sentBytes, bytes.size() - r.sentBytes);
            if (put.kind == platform::Transfer::Kind::WouldBlock)
                return;
            if (put.kind != platform::Transfer::Kind::Moved)
                return fail(r, platform::connectionFailure(put.error));
            r.sentBytes += put.bytes;
        }
        r.phase = Phase::Reading;
        r.watchFor(true, false);
    }

    void receive(Request& r) {
        std::uint8_t buffer[16384];
        for (;;) {
            platform::Transfer got = r.receive(buffer, sizeof buffer);
            if (got.kind == platform::Transfer::Kind::WouldBlock)
                return;
            if (got.kind == platform::Transfer::Kind::Failed)
                return fail(r, platform::connectionFailure(got.error));
            if (got.kind == platform::Transfer::Kind::Closed)
                return answered(r);
            r.answerBytes += got.bytes;
            std::size_t keep = std::min(got.bytes, kKeptAnswer - r.answer.size());
            r.answer.insert(r.answer.end(), buffer, buffer + keep);
        }
    }

    const LoadMessage& messageOf(const Request& r) const {
        return plan_.messages[r.index % plan_.messages.size()];
    }

    void answered(Request& r) {
        r.over = true;
        if (r.answer.empty())
            return fail(r, "closed without an answer");
        if (std::optional<std::string> why =
                malformation(r.answer, r.answerBytes == r.answer.size())) {
            ++result_.malformed;
            keepSample(result_.malformedSamples, *why + ": " + sampleBytes(r.answer));
            return;
        }
        ++result_.answered;
        result_.replyMs.push_back(msBetween(r.due, Clock::now()));
        const LoadMessage& message = messageOf(r);
        const std::optional<std::string>& expect = message.expect ? message.expect : plan_.expect;
        if (!expect)
            return;
        result_.checked = true;
        std::string got = answerText(r.answer);
        if (got == *expect)
            return;
        ++result_.wrong;
        keepSample(result_.wrongSamples,
                   "expected " + sampleText(*expect) + ", got " + sampleText(got));
    }

    void fail(Request& r, const std::string& why) {
        if (r.over && !r.answer.empty())
            return;
        r.over = true;
        ++result_.failed;
        ++result_.failures[why];
    }

    void finish(Request& r) {
        open_.remove(r);
        pump();
    }

    const LoadPlan& plan_;
    const LoadProgress& progress_;
    platform::EventLoop loop_;
    platform::Ipv4 target_ = 0;
    Clock::time_point begin_;
    std::size_t started_ = 0;
    platform::ConnectionList<Request> open_;
    platform::EventLoop::TimerId pumpTimer_ = 0;
    LoadResult result_;
};

}  // namespace

LoadResult runLoad(const LoadPlan& plan, const LoadProgress& progress) {
    if (plan.messages.empty()) {
        LoadResult result;
        result.error = "no message to send";
        return result;
    }
    return LoadRun(plan, progress).run();
}

}  // namespace loadgen
