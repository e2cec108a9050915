// The load run: one event loop in the caller's thread holds every request in
// flight. Open loop: request i is due at start + i / rate whatever happened to
// the ones before, and its reply time runs from that due time, so a server
// that falls behind shows as latency, not as a lower send rate.
#include "unitsim/load.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <list>

#include "net/event_loop.h"
#include "net/system_api.h"
#include "protocol/payload.h"
#include "unitsim/messages.h"

namespace unitsim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kKeptAnswer = 65536;  // bytes of an answer kept for checking
constexpr std::size_t kWrongSamples = 3;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

class LoadRun {
  public:
    LoadRun(const LoadPlan& plan, const LoadProgress& progress)
        : plan_(plan), progress_(progress) {}

    LoadResult run() {
        auto target = net::lookupHost(plan_.host);
        if (!target) {
            result_.error = "cannot resolve host '" + plan_.host + "'";
            return result_;
        }
        if (!loop_.valid()) {
            result_.error = loop_.error();
            return result_;
        }
        target_ = net::socketAddress(*target, plan_.port);
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

    struct Request : net::EventLoop::Handler {
        Request(LoadRun& r, std::size_t i) : run(r), index(i) {}
        void onReady(bool readable, bool writable) override { run.step(*this, readable, writable); }
        LoadRun& run;
        std::size_t index;
        net::Socket socket;
        Phase phase = Phase::Connecting;
        Clock::time_point due;  // reply time counts from here
        std::size_t sentBytes = 0;
        MessageBytes answer;
        bool over = false;
        net::EventLoop::TimerId timer = 0;
        std::list<Request>::iterator self;
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
        open_.emplace_back(*this, index);
        Request& r = open_.back();
        r.self = std::prev(open_.end());
        r.due = due;
        std::string why = connect(r);
        if (!why.empty()) {
            fail(r, why);
            open_.erase(r.self);
            return;
        }
        r.timer = loop_.at(now + plan_.timeout, [this, &r] {
            r.timer = 0;
            fail(r, r.phase == Phase::Connecting ? "no connection within the time-out"
                    : r.phase == Phase::Sending  ? "send not taken within the time-out"
                    : r.answer.empty()           ? "no answer within the time-out"
                                                 : "answer not closed within the time-out");
            finish(r);
        });
    }

    // Opens the request's connection (from its unit's address); a reason when
    // that fails at once.
    std::string connect(Request& r) {
        r.socket = net::Socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!r.socket)
            return std::string("cannot open a socket: ") + std::strerror(errno);
        int one = 1;
        ::setsockopt(r.socket.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (!plan_.sources.empty()) {
            // The port is chosen at connect, per destination, so thousands
            // of requests from one address do not run out of ports.
            ::setsockopt(r.socket.fd(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
            net::Ipv4 from = plan_.sources[r.index % plan_.sources.size()];
            sockaddr_in sa = net::socketAddress(from, 0);
            if (::bind(r.socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
                return "cannot use address " + net::dotted(from) + ": " + std::strerror(errno);
        }
        if (::connect(r.socket.fd(), reinterpret_cast<const sockaddr*>(&target_), sizeof target_) !=
                0 &&
            errno != EINPROGRESS)
            return failureOf(errno);
        if (!loop_.watch(r.socket.fd(), r, false, true))
            return std::string("cannot watch a socket: ") + std::strerror(errno);
        return {};
    }

    static std::string failureOf(int error) {
        switch (error) {
            case ECONNREFUSED:
                return "connection refused";
            case ECONNRESET:
            case EPIPE:
                return "connection reset";
            case ETIMEDOUT:
                return "no connection within the time-out";
            default:
                return std::string("cannot connect: ") + std::strerror(error);
        }
    }

    void step(Request& r, bool readable, bool writable) {
        if (r.phase == Phase::Connecting && (writable || readable)) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(r.socket.fd(), SOL_SOCKET, SO_ERROR, &error, &len);
            if (error != 0)
                fail(r, failureOf(error));
            else
                r.phase = Phase::Sending;
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
            long n = ::send(r.socket.fd(), bytes.data() + r.sentBytes, bytes.size() - r.sentBytes,
                            MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n < 0)
                return fail(r, failureOf(errno));
            r.sentBytes += static_cast<std::size_t>(n);
        }
        r.phase = Phase::Reading;
        loop_.change(r.socket.fd(), r, true, false);
    }

    void receive(Request& r) {
        std::uint8_t buffer[16384];
        for (;;) {
            long n = ::recv(r.socket.fd(), buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n < 0)
                return fail(r, failureOf(errno));
            if (n == 0)
                return answered(r);
            std::size_t keep =
                std::min<std::size_t>(static_cast<std::size_t>(n), kKeptAnswer - r.answer.size());
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
        std::string sample = "expected " + quoted(*expect) + ", got " + quoted(got);
        auto& samples = result_.wrongSamples;
        if (samples.size() < kWrongSamples &&
            std::find(samples.begin(), samples.end(), sample) == samples.end())
            samples.push_back(std::move(sample));
    }

    void fail(Request& r, const std::string& why) {
        if (r.over && !r.answer.empty())
            return;
        r.over = true;
        ++result_.failed;
        ++result_.failures[why];
    }

    void finish(Request& r) {
        if (r.timer)
            loop_.cancel(r.timer);
        if (r.socket)
            loop_.unwatch(r.socket.fd(), r);
        open_.erase(r.self);
        pump();
    }

    const LoadPlan& plan_;
    const LoadProgress& progress_;
    net::EventLoop loop_;
    sockaddr_in target_{};
    Clock::time_point begin_;
    std::size_t started_ = 0;
    std::list<Request> open_;
    net::EventLoop::TimerId pumpTimer_ = 0;
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

std::string answerText(const MessageBytes& answer) {
    protocol::ConstBytes bytes(answer);
    if (bytes.empty())
        return {};
    if (bytes[0] != 0)
        return std::string(protocol::textUntilZero(bytes));
    auto frame = protocol::FrameView::from(bytes);
    if (!frame)
        return {};
    if (frame->type() == protocol::FrameType::Data)
        return std::string(protocol::textUntilZero(protocol::dataContent(*frame)));
    return std::string(frame->bodyText());
}

Percentiles percentiles(std::vector<double> values) {
    Percentiles p;
    if (values.empty())
        return p;
    std::sort(values.begin(), values.end());
    auto rank = [&](double q) {
        auto n = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
        return values[std::clamp<std::size_t>(n, 1, values.size()) - 1];
    };
    p.p50 = rank(0.50);
    p.p90 = rank(0.90);
    p.p99 = rank(0.99);
    p.max = values.back();
    return p;
}

}  // namespace unitsim
