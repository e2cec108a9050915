// SPDX-License-Identifier: Apache-2.0
// The unitfleetd program as a user runs it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/process.h"
#include "unitfleetd/test_client.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using unitfleetd::testing::request;

// Debian's openssl command (the openssl package; build.sh installs it).
const char* kOpenssl = "/usr/bin/openssl";

support::RunOptions options(std::string input, std::chrono::milliseconds timeout = 20s) {
    support::RunOptions o;
    o.input = std::move(input);
    o.timeout = timeout;
    return o;
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = support::makeTempDir("unitfleetd-e2e");
        int n = static_cast<int>(getpid());
        address = "127.37." + std::to_string(n / 250 % 250) + "." + std::to_string(n % 250 + 1);
        support::writeFile(folder + "/units.txt",
                           "127.0.1.1 till-1 tills\n127.0.1.2 till-2 tills\n");
        writeConfig("\"listen\": \"" + address + ":18444\"");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void writeConfig(const std::string& keys) {
        support::writeFile(folder + "/unitfleetd.conf",
                           "{\"inventory\": \"units.txt\", \"state\": \"state\", " + keys + "}");
    }
    std::vector<std::string> args(std::vector<std::string> more) {
        std::vector<std::string> a = {UNITFLEETD_BIN, "--config", folder + "/unitfleetd.conf"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    std::string token(const std::string& role) {
        auto r = support::run(args({"token", "add", "script-" + role, "--role", role}));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out.substr(0, r.out.find('\n'));
    }
    std::string folder, address;
};

TEST_F(Program, HelpAndVersion) {
    auto help = support::run({UNITFLEETD_BIN, "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"--config", "--insecure", "user", "token"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    auto version = support::run({UNITFLEETD_BIN, "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("unitfleetd ", 0), 0u) << version.out;
}

struct StartFault {
    const char* name;
    const char* config;  // the whole file
    int status;
    const char* message;
};

class StartFaults : public Program, public ::testing::WithParamInterface<StartFault> {};

TEST_P(StartFaults, AreSaidAndEndTheStart) {
    support::writeFile(folder + "/unitfleetd.conf", GetParam().config);
    auto r = support::run(args({}), options("", 10s));
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartFaults,
    ::testing::Values(
        StartFault{"BadJson", "{", 2, "not valid JSON"},
        StartFault{"UnknownKey", R"({"inventory": "units.txt", "colour": 1})", 2,
                   "colour: unknown key"},
        StartFault{"NoInventory", R"({"inventory": "none.txt", "state": "state"})", 1,
                   "cannot read the inventory"},
        StartFault{"BadInventory", R"({"inventory": "unitfleetd.conf", "state": "state"})", 1,
                   "unitfleetd.conf:1"},
        StartFault{"PlainHttpOffLoopback",
                   R"({"inventory": "units.txt", "state": "state", "listen": "10.1.2.3:18444"})", 1,
                   "is not a loopback address"},
        StartFault{"MissingCertificate",
                   R"({"inventory": "units.txt", "state": "state", "listen": "127.37.0.1:18444",
                       "tls": {"certificate": "none.pem", "key": "none.key"}})",
                   1, "cannot load the certificate"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Program, NoConfigFileIsSaid) {
    auto r = support::run({UNITFLEETD_BIN, "--config", folder + "/nothing.conf"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot read '" + folder + "/nothing.conf'"), std::string::npos) << r.err;
}

TEST_F(Program, UsersFromStdinAndTokensFromTheCommandLine) {
    auto added = support::run(args({"user", "add", "ann", "--role", "admin"}),
                              options("ann's long password\n"));
    EXPECT_EQ(added.status, 0) << added.err;
    auto again = support::run(args({"user", "add", "ann", "--role", "admin"}),
                              options("ann's long password\n"));
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("user 'ann' exists"), std::string::npos) << again.err;
    auto weak = support::run(args({"user", "add", "bob", "--role", "viewer"}), options("short\n"));
    EXPECT_EQ(weak.status, 1);
    auto badRole = support::run(args({"user", "add", "bob", "--role", "king"}), options("x\n"));
    EXPECT_NE(badRole.status, 0);

    std::string t = token("operator");
    EXPECT_EQ(t.rfind("ufd_", 0), 0u) << t;

    support::Background daemon(args({}));
    ASSERT_TRUE(support::waitForPort(address, 18444, 10s));
    auto me = request(address, 18444, "GET", "/api/v1/me", {"Authorization: Bearer " + t});
    ASSERT_TRUE(me);
    EXPECT_EQ(json::parse(me->body)["role"], "operator");
    auto login =
        request(address, 18444, "POST", "/api/v1/login", {"Content-Type: application/json"},
                R"({"user": "ann", "password": "ann's long password"})");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 200) << login->body;
}

TEST_F(Program, SighupReloadsAndABadFileKeepsTheOldOne) {
    std::string t = token("viewer");
    support::Background daemon(args({}));
    ASSERT_TRUE(support::waitForPort(address, 18444, 10s));
    auto total = [&] {
        auto a = request(address, 18444, "GET", "/api/v1/units", {"Authorization: Bearer " + t});
        return a ? json::parse(a->body)["total"].get<int>() : -1;
    };
    EXPECT_EQ(total(), 2);

    support::writeFile(folder + "/units.txt",
                       "127.0.1.1 till-1\n127.0.1.2 till-2\n127.0.1.3 till-3\n");
    kill(daemon.pid(), SIGHUP);
    int seen = 0;
    for (int i = 0; i < 100 && (seen = total()) != 3; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(seen, 3);

    support::writeFile(folder + "/units.txt", "127.0.1.1 till-1\nnonsense here!\n");
    kill(daemon.pid(), SIGHUP);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(total(), 3) << "the old inventory stays";
    auto stopped = daemon.stop();
    EXPECT_NE(stopped.err.find("reload failed, the old configuration stays"), std::string::npos)
        << stopped.err;
    EXPECT_NE(stopped.err.find("units.txt:2"), std::string::npos) << stopped.err;
}

TEST_F(Program, UnderTlsCookiesAreSecure) {
    if (access(kOpenssl, X_OK) != 0)
        GTEST_SKIP() << "no " << kOpenssl;
    auto made =
        support::run({kOpenssl, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                      "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=unitfleetd-test", "-days",
                      "1", "-keyout", folder + "/key.pem", "-out", folder + "/cert.pem"});
    ASSERT_EQ(made.status, 0) << made.err;
    writeConfig("\"listen\": \"" + address +
                ":18446\", \"tls\": {\"certificate\": \"cert.pem\", \"key\": \"key.pem\"}");
    support::run(args({"user", "add", "ann", "--role", "viewer"}),
                 options("ann's long password\n"));
    support::Background daemon(args({}));
    ASSERT_TRUE(support::waitForPort(address, 18446, 10s));
    std::string body = R"({"user": "ann", "password": "ann's long password"})";
    // -quiet waits for the server to close after its answer.
    auto tls = support::run({kOpenssl, "s_client", "-connect", address + ":18446", "-quiet"},
                            options("POST /api/v1/login HTTP/1.1\r\nHost: x\r\nConnection: "
                                    "close\r\nContent-Type: application/json\r\n"
                                    "Content-Length: " +
                                        std::to_string(body.size()) + "\r\n\r\n" + body,
                                    10s));
    auto start = tls.out.find("HTTP/1.1");
    ASSERT_NE(start, std::string::npos) << tls.out << tls.err;
    auto answer = unitfleetd::testing::parseAnswer(tls.out.substr(start));
    ASSERT_TRUE(answer) << tls.out << tls.err;
    EXPECT_EQ(answer->status, 200) << answer->body;
    ASSERT_EQ(answer->cookies.size(), 1u);
    EXPECT_NE(answer->cookies[0].find("; Secure"), std::string::npos) << answer->cookies[0];
    EXPECT_EQ(answer->headers["strict-transport-security"], "max-age=31536000");
    // Plain HTTP on the TLS port gets nothing.
    auto plain = request(address, 18446, "GET", "/healthz", {}, {}, 3s);
    EXPECT_FALSE(plain && plain->status == 200);
}

TEST_F(Program, InsecureWarnsAtEveryStart) {
    std::string why;
    if (!support::enterOwnNetworkNamespace(why))
        GTEST_SKIP() << why;
    writeConfig("\"listen\": \"0.0.0.0:18445\"");
    auto refused = support::run(args({}), options("", 10s));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--insecure"), std::string::npos) << refused.err;
    for (int start = 0; start < 2; ++start) {
        support::Background daemon(args({"--insecure"}));
        ASSERT_TRUE(support::waitForPort("127.0.0.1", 18445, 10s));
        auto stopped = daemon.stop();
        EXPECT_NE(stopped.err.find("warning: serving plain HTTP on 0.0.0.0 (insecure)"),
                  std::string::npos)
            << stopped.err;
    }
}

}  // namespace
