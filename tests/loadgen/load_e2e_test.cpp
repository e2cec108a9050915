// SPDX-License-Identifier: Apache-2.0
// `unitsim load` against the real host servers, each test in a network
// namespace of its own (Mibbet always binds port 1283 on all addresses):
// with a known data file every answer counts right, a wrong expectation
// counts every answer wrong, and a stopped server counts every request failed
// with its reason.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "platform/socket.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// Both servers take the same "key<TAB>answer" lines: Mibbet from
// mibbetdata.dat, Hobsel (whose plain answers are the text and its zero byte)
// from data.dat.
const std::string kData =
    "K1\tfirst answer\n"
    "K2\tsecond answer\n"
    "K3\tthird\n";
// Scanned as text and queried as PROD frames, each with the answer expected.
const std::string kMessages =
    "# scans of a shop's three products\n"
    "barcode K1\tfirst answer\n"
    "prod K2\tsecond answer\n"
    "barcode K3\tthird\n";

struct Server {
    const char* name;
    const char* program;
    const char* dataFile;
    std::vector<std::string> args;
    std::uint16_t port;
    const char* rate;  // Hobsel serves one connection at a time with a backlog of 1
};

const Server kServers[] = {
    {"Mibbet", MIBBET_BIN, "mibbetdata.dat", {}, 1283, "500"},
    {"Hobsel", HOBSEL_BIN, "data.dat", {"20060"}, 20060, "100"},
};

class LoadOnHost : public ::testing::TestWithParam<Server> {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
            GTEST_SKIP() << "no network namespace: " << why;
        dir_ = support::makeTempDir("unitsim-load");
        support::writeFile(dir_ + "/" + GetParam().dataFile, kData);
        support::writeFile(dir_ + "/messages.txt", kMessages);
        std::vector<std::string> argv{GetParam().program};
        argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
        server_ = std::make_unique<support::Background>(argv, dir_);
        ASSERT_TRUE(support::waitForPort("127.0.0.1", GetParam().port, 10s));
    }

    // Runs `unitsim load ... --json` at the server; its report.
    json load(std::vector<std::string> args, int expectedStatus) {
        args.insert(args.begin(), {UNITSIM_BIN, "load"});
        args.insert(args.end(), {"--port", std::to_string(GetParam().port), "--json"});
        support::RunResult r = support::run(args, {{}, dir_, 60000ms});
        EXPECT_EQ(r.status, expectedStatus) << r.err << r.out;
        EXPECT_EQ(r.err, "");
        json report = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(report.is_discarded()) << r.out;
        return report;
    }

    std::string dir_;
    std::unique_ptr<support::Background> server_;
};

TEST_P(LoadOnHost, EveryAnswerOfAKnownDataFileCountsRight) {
    json r = load({"--messages", "messages.txt", "--units", "20", "--rate", GetParam().rate,
                   "--count", "150"},
                  0);
    EXPECT_EQ(r["sent"], 150);
    EXPECT_EQ(r["answered"], 150);
    EXPECT_EQ(r["right"], 150);
    EXPECT_EQ(r["wrong"], 0);
    EXPECT_EQ(r["failed"], 0) << r.dump();
    EXPECT_EQ(r["units"], 20);
    EXPECT_GE(r["reply_ms"]["max"].get<double>(), r["reply_ms"]["p50"].get<double>());
}

TEST_P(LoadOnHost, AWrongExpectationCountsEveryAnswerWrong) {
    json r = load(
        {"barcode", "K1", "--expect", "second answer", "--concurrency", "2", "--count", "20"}, 1);
    EXPECT_EQ(r["answered"], 20);
    EXPECT_EQ(r["wrong"], 20);
    EXPECT_EQ(r["right"], 0);
    EXPECT_EQ(r["failed"], 0);
}

TEST_P(LoadOnHost, AStoppedServerCountsEveryRequestFailedWithItsReason) {
    server_->stop();
    json r = load({"prod", "K1", "--units", "5", "--rate", "200", "--count", "10"}, 1);
    EXPECT_EQ(r["sent"], 10);
    EXPECT_EQ(r["answered"], 0);
    EXPECT_EQ(r["failed"], 10);
    EXPECT_EQ(r["failures"], json({{"connection refused", 10}}));
}

INSTANTIATE_TEST_SUITE_P(Hosts, LoadOnHost, ::testing::ValuesIn(kServers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadCommandLine, RefusesWhatItCannotBound) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"barcode", "K1", "--host", "192.0.2.1"},
         "host 192.0.2.1 is outside loopback; give --own-host if it is yours to load"},
        {{"barcode", "K1", "--rate", "10", "--concurrency", "2"},
         "--rate and --concurrency do not go together"},
        {{"barcode", "K1", "--duration", "4000"}, "bad duration '4000'"},
        {{"barcode", "K1", "--timeout", "1s"}, "bad time-out '1s'"},
        {{"barcode", "K1", "--bogus"}, "unknown option '--bogus'"},
        {{"barcode", "K1", "--count", "0"}, "bad count '0'"},
        {{"--count", "3"}, "no message: give barcode TEXT, prod TEXT, ... or --messages FILE"},
        {{"event", "1", "2"}, "event takes STARTS KEY COLUMN ROW [TEXT]"},
        {{"barcode", "K1", "--units", "20", "--from", "127.0.3.1-127.0.3.10"},
         "--units 20 is more than --from 127.0.3.1-127.0.3.10 holds"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{UNITSIM_BIN, "load"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        support::RunResult r = support::run(argv);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.err,
                  std::string("unitsim: load: ") + c.message + "\nTry 'unitsim load --help'.\n");
        EXPECT_EQ(r.out, "");
    }
}

// A hostile host on 127.0.0.1:PORT: answers each of `count` requests with
// `answer` and closes; it gives up waiting after a few seconds.
std::thread hostAnswering(std::uint16_t port, std::vector<std::uint8_t> answer, int count) {
    platform::Socket listener = platform::createTcpSocket();
    platform::setReuseAddress(listener);
    EXPECT_TRUE(platform::bindTo(listener, port, *platform::lookupHost("127.0.0.1")));
    EXPECT_TRUE(platform::listenOn(listener, 16));
    platform::setReceiveTimeout(listener, 10s);
    return std::thread([listener = std::move(listener), answer, count] {
        for (int i = 0; i < count; ++i) {
            platform::Socket c = platform::acceptFrom(listener);
            if (!c)
                return;
            platform::setReceiveTimeout(c, 3s);
            std::uint8_t buffer[512];
            platform::receiveSome(c, buffer, sizeof buffer);
            platform::sendAll(c, answer.data(), answer.size());
        }
    });
}

// An answer that is no frame or text counts malformed, not answered, and the
// run fails without any --expect.
TEST(LoadCommandLine, GarbageAnswersCountMalformedAndFailTheRun) {
    std::mt19937 random(35);
    std::vector<std::uint8_t> junk(200);
    for (auto& b : junk) b = static_cast<std::uint8_t>(random() | 1);  // no zero byte at all
    std::vector<std::uint8_t> twoGiB{0x80, 0, 0, 0, 'D', 'A', 'T', 'A', 'T', 'E', 'X', 'T'};
    twoGiB.resize(1000, 'x');
    std::uint16_t port = 20062;
    for (const auto& answer : {junk, twoGiB}) {
        std::thread host = hostAnswering(port, answer, 3);
        support::RunResult r = support::run({UNITSIM_BIN, "load", "barcode", "K1", "--port",
                                             std::to_string(port++), "--count", "3", "--json"},
                                            {{}, {}, 30000ms});
        host.join();
        EXPECT_EQ(r.status, 1) << r.err;
        json report = json::parse(r.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << r.out;
        EXPECT_EQ(report["malformed"], 3);
        EXPECT_EQ(report["answered"], 0);
        EXPECT_EQ(report["failed"], 0);
        ASSERT_EQ(report["malformed_samples"].size(), 1u);
        // The sample holds the size and the first 64 bytes only.
        std::string sample = report["malformed_samples"][0];
        EXPECT_NE(sample.find(std::to_string(answer.size()) + " bytes "), std::string::npos);
        EXPECT_LE(sample.size(), 64u * 2 + 60) << sample;
    }
}

}  // namespace
