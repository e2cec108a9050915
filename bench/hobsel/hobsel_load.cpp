// Hobsel (verbosity 0, trivial answers) under load against the bare loop:
// a 10,000-line data file with the scanned key on its last line, one
// connection per request, both servers taking turns in small batches so a
// burst of other work on the machine slows both alike.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/load/load_driver.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLines = 10000;
constexpr std::uint16_t kHobselPort = 41900;
constexpr std::uint16_t kBarePort = 41901;
constexpr std::size_t kBatch = 250;

std::string dataFile(std::string& lastKey, std::string& lastValue) {
    std::string content;
    char line[128];
    for (int i = 0; i < kLines; ++i) {
        std::snprintf(line, sizeof line, "%013d\tProduct %d, price %d.%02d\n", 5000000 + i, i,
                      i % 97, i % 100);
        content += line;
    }
    int last = kLines - 1;
    std::snprintf(line, sizeof line, "%013d", 5000000 + last);
    lastKey = line;
    std::snprintf(line, sizeof line, "Product %d, price %d.%02d", last, last % 97, last % 100);
    lastValue = line;
    return content;
}

void add(load::LoadResult& total, const load::LoadResult& part) {
    total.completed += part.completed;
    total.failed += part.failed;
    total.seconds += part.seconds;
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

// CPU time (user and system) of the reaped children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The bare loop in a child process of its own, as Hobsel runs in one, so
// both pay the same for switching between client and server. It serves
// until the parent closes its end of the pipe (or dies).
class BareChild {
  public:
    explicit BareChild(const load::Bytes& answer) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            ::close(fds[1]);
            load::BareServer bare("127.0.0.1", kBarePort, answer);
            if (!bare.start())
                _exit(1);
            char byte;
            while (::read(fds[0], &byte, 1) > 0) {
            }
            bare.stop();
            _exit(0);
        }
        ::close(fds[0]);
        parentEnd_ = fds[1];
        started_ = pid_ > 0 && support::waitForPort("127.0.0.1", kBarePort, 5s);
    }
    ~BareChild() { stop(); }
    bool started() const { return started_; }
    void stop() {
        if (parentEnd_ >= 0)
            ::close(parentEnd_);
        parentEnd_ = -1;
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int parentEnd_ = -1;
    bool started_ = false;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t requests = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (requests == 0 || requests > 200000 || rounds < 1 || rounds > 9) {
        std::fprintf(stderr, "usage: hobsel_load [REQUESTS (10000)] [ROUNDS (3)]\n");
        return 2;
    }
    std::string dir = support::makeTempDir("hobsel-load");
    std::string key, value;
    std::string path = dir + "/data.dat";
    support::writeFile(path, dataFile(key, value));
    // Saved well before the server starts, as in a shop.
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 1h);

    load::LoadOptions options;
    options.host = "127.0.0.1";
    options.request.assign(key.begin(), key.end());
    options.request.push_back(0);
    load::Bytes answer(value.begin(), value.end());
    answer.push_back(0);
    options.expectedAnswer = answer;

    support::Background hobsel({HOBSEL_BIN, std::to_string(kHobselPort)}, dir);
    if (!support::waitForPort("127.0.0.1", kHobselPort, 5s)) {
        std::fprintf(stderr, "hobsel_load: Hobsel did not start\n");
        return 1;
    }
    BareChild bare(answer);
    if (!bare.started()) {
        std::fprintf(stderr, "hobsel_load: bare loop did not start\n");
        return 1;
    }

    std::printf("data file: %d lines, key on the last line; %zu requests per round\n", kLines,
                requests);
    std::vector<double> hobselRates, bareRates, ratios;
    std::size_t failures = 0;
    for (int round = 0; round < rounds; ++round) {
        load::LoadResult h, b;
        for (std::size_t done = 0; done < requests; done += kBatch) {
            options.requests = std::min(kBatch, requests - done);
            options.port = kHobselPort;
            add(h, load::runLoad(options));
            options.port = kBarePort;
            add(b, load::runLoad(options));
        }
        failures += h.failed + b.failed;
        double ratio = b.perSecond() > 0 ? h.perSecond() / b.perSecond() : 0.0;
        std::printf(
            "round %d: Hobsel %.0f/s (%zu failed), bare loop %.0f/s (%zu failed), "
            "ratio %.2f\n",
            round + 1, h.perSecond(), h.failed, b.perSecond(), b.failed, ratio);
        hobselRates.push_back(h.perSecond());
        bareRates.push_back(b.perSecond());
        ratios.push_back(ratio);
    }
    std::printf(
        "median: Hobsel %.0f requests/s, bare loop %.0f requests/s, ratio %.2f "
        "(target >= 0.80)\n",
        median(hobselRates), median(bareRates), median(ratios));
    // CPU per request, which holds however busy the machine is, from each
    // server process once it is reaped.
    bare.stop();
    double bareCpu = cpuSeconds(RUSAGE_CHILDREN);
    hobsel.stop();
    double hobselCpu = cpuSeconds(RUSAGE_CHILDREN) - bareCpu;
    double total = static_cast<double>(requests) * rounds;
    std::printf(
        "server CPU per request: Hobsel %.1f us, bare loop %.1f us; "
        "CPU-bound ratio %.2f\n",
        hobselCpu / total * 1e6, bareCpu / total * 1e6, hobselCpu > 0 ? bareCpu / hobselCpu : 0.0);
    std::fflush(stdout);
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
