// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/config.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

struct FaultCase {
    const char* name;
    const char* text;
    const char* fault;  // a part of the one message expected
};

class ConfigFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ConfigFaults, AreNamedWithTheirKey) {
    std::vector<std::string> errors;
    auto config = parseConfig(GetParam().text, "/etc/u.conf", errors);
    EXPECT_FALSE(config);
    ASSERT_EQ(errors.size(), 1u) << (errors.empty() ? "" : errors[0]);
    EXPECT_NE(errors[0].find(GetParam().fault), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].rfind("/etc/u.conf: ", 0), 0u) << errors[0];
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfigFaults,
    ::testing::Values(
        FaultCase{"NotJson", "{ inventory: x }", "not valid JSON"},
        FaultCase{"NotObject", "[1]", "must hold one JSON object"},
        FaultCase{"NoInventory", "{}", "inventory: is missing"},
        FaultCase{"Typo", R"({"inventory": "u", "concurency": 4})", "concurency: unknown key"},
        FaultCase{"NestedTypo", R"({"inventory": "u", "timeouts": {"idel": 4}})",
                  "timeouts.idel: unknown key"},
        FaultCase{"ListenNoPort", R"({"inventory": "u", "listen": "127.0.0.1"})",
                  "listen: must be ADDRESS:PORT"},
        FaultCase{"ListenName", R"({"inventory": "u", "listen": "localhost:80"})", "dotted IPv4"},
        FaultCase{"ListenPortZero", R"({"inventory": "u", "listen": "127.0.0.1:0"})", "listen"},
        FaultCase{"KeyWithoutCertificate", R"({"inventory": "u", "tls": {"key": "k.pem"}})",
                  "tls.certificate: is needed with the other"},
        FaultCase{"IntervalZero", R"({"inventory": "u", "status_interval": 0})",
                  "status_interval: must be a number of seconds from 1 to 86400"},
        FaultCase{"IntervalText", R"({"inventory": "u", "status_interval": "60"})",
                  "status_interval"},
        FaultCase{"ConcurrencyFraction", R"({"inventory": "u", "concurrency": 2.5})",
                  "concurrency: must be a whole number from 1 to 1024"},
        FaultCase{"BackupTime", R"({"inventory": "u", "backup": {"daily_at": "25:00"}})",
                  "backup.daily_at: must be HH:MM"},
        FaultCase{"Jitter", R"({"inventory": "u", "backup": {"jitter": -1}})", "backup.jitter"},
        FaultCase{"EveryAndDaily",
                  R"({"inventory": "u", "backup": {"daily_at": "02:00", "every": 3600}})",
                  "backup.every: and daily_at exclude each other"},
        FaultCase{"EveryZero", R"({"inventory": "u", "backup": {"every": 0}})", "backup.every"},
        FaultCase{"BaselineNotPath", R"({"inventory": "u", "baselines": {"tills": 3}})",
                  "baselines.tills: must be the path of an ini file"},
        FaultCase{"InsecureText", R"({"inventory": "u", "insecure": "yes"})",
                  "insecure: must be true or false"},
        FaultCase{"HeaderLimitTiny", R"({"inventory": "u", "limits": {"header_bytes": 10}})",
                  "limits.header_bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Config, DefaultsAndRelativePathsFromTheFilesFolder) {
    std::vector<std::string> errors;
    auto c = parseConfig(R"({
        // comments are allowed
        "inventory": "units.txt",
        "baselines": {"tills": "baselines/tills.ini"},
        "backup": {"daily_at": "03:30", "jitter": 600}
    })",
                         "/etc/unitsuite/unitfleetd.conf", errors);
    ASSERT_TRUE(c) << errors[0];
    EXPECT_EQ(c->inventory, "/etc/unitsuite/units.txt");
    EXPECT_EQ(c->baselines.at("tills"), "/etc/unitsuite/baselines/tills.ini");
    EXPECT_EQ(c->stateFolder, "/var/lib/unitfleetd");
    EXPECT_EQ(c->storeFolder, "/var/lib/unitfleetd/store");
    EXPECT_EQ(c->listen.host, "127.0.0.1");
    EXPECT_EQ(c->statusIntervalSeconds, 60);
    EXPECT_EQ(c->backup.hour, 3);
    EXPECT_EQ(c->backup.minute, 30);
    EXPECT_EQ(c->backup.jitterSeconds, 600);
    EXPECT_FALSE(c->tls());
    EXPECT_TRUE(startFaults(*c).empty());
}

struct ListenCase {
    const char* listen;
    bool tls, insecure;
    bool startable;
};

class ListenRules : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ListenRules, PlainHttpOnlyOnLoopbackUnlessInsecure) {
    const auto& p = GetParam();
    std::string text = std::string(R"({"inventory": "u", "listen": ")") + p.listen + "\"" +
                       (p.tls ? R"(, "tls": {"certificate": "c.pem", "key": "k.pem"})" : "") +
                       (p.insecure ? R"(, "insecure": true)" : "") + "}";
    std::vector<std::string> errors;
    auto c = parseConfig(text, "u.conf", errors);
    ASSERT_TRUE(c);
    EXPECT_EQ(startFaults(*c).empty(), p.startable) << p.listen;
}

INSTANTIATE_TEST_SUITE_P(Table, ListenRules,
                         ::testing::Values(ListenCase{"127.0.0.1:8443", false, false, true},
                                           ListenCase{"127.9.8.7:80", false, false, true},
                                           ListenCase{"0.0.0.0:8443", false, false, false},
                                           ListenCase{"192.168.1.5:8443", false, false, false},
                                           ListenCase{"0.0.0.0:8443", true, false, true},
                                           ListenCase{"0.0.0.0:8443", false, true, true}));

TEST(Config, BackupFalseTurnsTheScheduleOff) {
    std::vector<std::string> errors;
    auto c = parseConfig(R"({"inventory": "u", "backup": false})", "u.conf", errors);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->backup.enabled);
}

TEST(Config, EveryFaultIsReportedAtOnce) {
    std::vector<std::string> errors;
    EXPECT_FALSE(
        parseConfig(R"({"concurrency": 0, "bogus": 1, "status_interval": -1})", "u.conf", errors));
    EXPECT_EQ(errors.size(), 4u);
}

}  // namespace
}  // namespace unitfleetd
