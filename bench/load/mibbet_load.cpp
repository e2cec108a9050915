// Mibbet under load against the bare loop, in a network namespace of its
// own (Mibbet always binds port 1283 on all addresses): a 10,000-line data
// file, the key on its last line, one connection per request.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/load/load_driver.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLines = 10000;
constexpr std::uint16_t kBarePort = 1284;
constexpr std::size_t kBatch = 250;

void add(load::LoadResult& total, const load::LoadResult& part) {
    total.completed += part.completed;
    total.failed += part.failed;
    total.seconds += part.seconds;
}

std::string dataFile(std::string& lastKey, std::string& lastValue) {
    std::string content;
    char line[128];
    for (int i = 0; i < kLines; ++i) {
        std::snprintf(line, sizeof line, "%013d\tProduct %d, price %d.%02d\n", 4000000 + i, i,
                      i % 97, i % 100);
        content += line;
    }
    lastKey = std::to_string(4000000 + kLines - 1);
    lastKey.insert(0, 13 - lastKey.size(), '0');
    std::snprintf(line, sizeof line, "Product %d, price %d.%02d", kLines - 1, (kLines - 1) % 97,
                  (kLines - 1) % 100);
    lastValue = line;
    return content;
}

// A data file saved well before the server starts, as in a shop.
void backdate(const std::string& path) {
    timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// CPU time a process has run, in nanoseconds (the scheduler's own count, so
// it holds however busy the machine is).
// Summed over the process's threads.
double cpuNanos(pid_t pid) {
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string stat = support::readFile(tasks + "/" + entry->d_name + "/schedstat");
        if (!stat.empty()) total += std::strtod(stat.c_str(), nullptr);
    }
    closedir(dir);
    return total;
}

// The real Mibbet program, started in the data file's folder.
class MibbetProcess {
public:
    explicit MibbetProcess(const std::string& dir) {
        pid_ = fork();
        if (pid_ == 0) {
            int devNull = ::open("/dev/null", O_RDWR);
            dup2(devNull, 0);
            dup2(devNull, 1);
            if (chdir(dir.c_str()) != 0) _exit(127);
            execl(MIBBET_BIN, MIBBET_BIN, static_cast<char*>(nullptr));
            _exit(127);
        }
        started_ = pid_ > 0 && support::waitForPort("127.0.0.1", 1283, 5s);
    }
    ~MibbetProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return started_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool started_ = false;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: mibbet_load [REQUESTS (10000)] [ROUNDS (3)]\n"
                    "  Runs Mibbet in a network namespace of its own with a %d-line data file\n"
                    "  and asks for the key on its last line, in turns with a bare\n"
                    "  accept/receive/send/close loop; prints both rates and their ratio.\n",
                    kLines);
        return 0;
    }
    std::size_t requests = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (requests == 0 || requests > 200000 || rounds < 1 || rounds > 9) {
        std::fprintf(stderr, "usage: mibbet_load [REQUESTS (10000)] [ROUNDS (3)]\n");
        return 2;
    }
    std::string why;
    if (!support::enterOwnNetworkNamespace(&why)) {
        std::fprintf(stderr, "mibbet_load: needs a network namespace of its own: %s\n",
                     why.c_str());
        return 1;
    }
    std::string dir = support::makeTempDir("mibbet-load");
    std::string key, value;
    std::string path = dir + "/mibbetdata.dat";
    support::writeFile(path, dataFile(key, value));
    backdate(path);

    load::LoadOptions options;
    options.host = "127.0.0.1";
    options.request.assign(key.begin(), key.end());
    options.request.push_back(0);
    load::Bytes answer(value.begin(), value.end());
    answer.push_back(0);
    options.expectedAnswer = answer;
    options.requests = requests;

    MibbetProcess mibbet(dir);
    if (!mibbet.started()) {
        std::fprintf(stderr, "mibbet_load: Mibbet did not start\n");
        return 1;
    }
    // The bare loop runs in a process of its own, as Mibbet does, so both
    // pay the same for switching between client and server.
    load::BareServerProcess bare("127.0.0.1", kBarePort, answer);
    if (!bare.started()) {
        std::fprintf(stderr, "mibbet_load: bare loop did not start\n");
        return 1;
    }

    std::printf("data file: %d lines, key on the last line; %zu requests per round\n", kLines,
                requests);
    // Both servers share two cores with everything else on the machine, so
    // they take turns in small batches: a burst of other work then slows both
    // alike instead of skewing the ratio.
    std::vector<double> mibbetRates, bareRates, ratios, cpuRatios;
    std::size_t failures = 0;
    for (int round = 0; round < rounds; ++round) {
        load::LoadResult m, b;
        double mCpu = cpuNanos(mibbet.pid()), bCpu = cpuNanos(bare.pid());
        for (std::size_t done = 0; done < requests; done += kBatch) {
            options.requests = std::min(kBatch, requests - done);
            options.port = 1283;
            add(m, load::runLoad(options));
            options.port = kBarePort;
            add(b, load::runLoad(options));
        }
        failures += m.failed + b.failed;
        mCpu = (cpuNanos(mibbet.pid()) - mCpu) / 1000.0 / static_cast<double>(requests);
        bCpu = (cpuNanos(bare.pid()) - bCpu) / 1000.0 / static_cast<double>(requests);
        std::printf("round %d: server CPU per request: Mibbet %.1f us, bare loop %.1f us\n",
                    round + 1, mCpu, bCpu);
        cpuRatios.push_back(mCpu > 0 ? bCpu / mCpu : 0.0);
        double ratio = b.perSecond() > 0 ? m.perSecond() / b.perSecond() : 0.0;
        std::printf("round %d: Mibbet %.0f/s (%zu failed), bare loop %.0f/s (%zu failed), "
                    "ratio %.2f\n",
                    round + 1, m.perSecond(), m.failed, b.perSecond(), b.failed, ratio);
        mibbetRates.push_back(m.perSecond());
        bareRates.push_back(b.perSecond());
        ratios.push_back(ratio);
    }
    std::printf("median: Mibbet %.0f requests/s, bare loop %.0f requests/s, ratio %.2f "
                "(target >= 0.80)\n",
                median(mibbetRates), median(bareRates), median(ratios));
    std::printf("median CPU-bound ratio (bare loop's CPU per request / Mibbet's): %.2f\n",
                median(cpuRatios));
    std::fflush(stdout);
    std::remove(path.c_str());
    rmdir(dir.c_str());
    return failures == 0 ? 0 : 1;
}
