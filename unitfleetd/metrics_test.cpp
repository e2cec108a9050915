// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/metrics.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

struct EscapeCase {
    const char* raw;
    const char* escaped;
};

class LabelEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(LabelEscapes, BackslashQuoteAndNewline) {
    EXPECT_EQ(escapeLabel(GetParam().raw), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LabelEscapes,
    ::testing::Values(EscapeCase{"till-1", "till-1"}, EscapeCase{"a\"b", "a\\\"b"},
                      EscapeCase{"a\\b", "a\\\\b"}, EscapeCase{"a\nb", "a\\nb"},
                      EscapeCase{"<script>", "<script>"}, EscapeCase{"../../etc", "../../etc"},
                      EscapeCase{"\\\"\n", "\\\\\\\"\\n"}));

unitfleet::InventoryUnit unit(std::string name, std::string address,
                              std::vector<std::string> groups) {
    unitfleet::InventoryUnit u;
    u.name = std::move(name);
    u.address = std::move(address);
    u.groups = std::move(groups);
    return u;
}

// Every line of the exposition is a comment or NAME{labels} VALUE with
// balanced quotes: a hostile label value cannot break a line or add one.
void expectWellFormed(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.rfind("# ", 0) == 0)
            continue;
        bool inQuotes = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && inQuotes) {
                ++i;
                continue;
            }
            if (line[i] == '"')
                inQuotes = !inQuotes;
        }
        EXPECT_FALSE(inQuotes) << line;
        auto space = line.rfind(' ');
        ASSERT_NE(space, std::string::npos) << line;
        EXPECT_NO_THROW(std::stod(line.substr(space + 1))) << line;
    }
}

TEST(Metrics, FleetGaugesOnlyForUnitsWithStatus) {
    DaemonCounters counters;
    counters.httpRequests[200] = 5;
    counters.httpRequests[401] = 2;
    counters.jobsStarted = 3;
    std::vector<unitfleet::InventoryUnit> units = {unit("till-1", "127.0.0.2", {"tills", "north"}),
                                                   unit("", "127.0.0.3", {})};
    FleetStatus fleet;
    fleet["till-1"] = UnitStatus{true, true, 0.25, "T1", "OK", 1700000000, 0, -1, {}};
    auto text = renderMetrics(counters, units, fleet);
    expectWellFormed(text);
    EXPECT_NE(text.find("unitfleetd_http_requests_total{code=\"401\"} 2\n"), std::string::npos);
    EXPECT_NE(text.find("unit_up{unit=\"till-1\",address=\"127.0.0.2\",group=\"tills,north\"} 1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("unit_reply_seconds{unit=\"till-1\""), std::string::npos);
    EXPECT_NE(text.find("unit_last_backup_timestamp_seconds{unit=\"till-1\""), std::string::npos);
    EXPECT_EQ(text.find("127.0.0.3"), std::string::npos) << "no status, no fleet line";
    EXPECT_NE(text.find("unitfleetd_inventory_units 2\n"), std::string::npos);
}

TEST(Metrics, HostileUnitTextsStayInsideTheirLabels) {
    std::vector<unitfleet::InventoryUnit> units = {unit("till-1", "127.0.0.2", {"tills"})};
    FleetStatus fleet;
    fleet["till-1"] = UnitStatus{
        true, false, 0.1, "\"}\nunit_up{unit=\"forged\"} 1\n<script>", "..\\..\\x\n../etc/passwd",
        0,    0,   -1, {}};
    auto text = renderMetrics({}, units, fleet);
    expectWellFormed(text);
    EXPECT_EQ(text.find("\nunit_up{unit=\"forged\""), std::string::npos) << text;
    EXPECT_NE(text.find("unit_id=\"\\\"}\\nunit_up{unit=\\\"forged\\\"} 1\\n<script>\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("status=\"..\\\\..\\\\x\\n../etc/passwd\""), std::string::npos) << text;
}

// Drift is shown only where it is known; the poll's and the job table's
// own figures only once there are any.
TEST(Metrics, DriftPollAndJobsByState) {
    struct Case {
        int drift;
        double pollSeconds;
        std::vector<std::pair<std::string, int>> jobs;
        std::vector<std::string> present, absent;
    } cases[] = {
        {-1,
         -1,
         {},
         {"unitfleetd_polls_total 0\n"},
         {"unit_drift_modes{", "unitfleetd_poll_duration_seconds", "unitfleetd_jobs{"}},
        {0,
         0.5,
         {{"done", 2}, {"failed", 1}},
         {"unit_drift_modes{unit=\"till-1\",address=\"127.0.0.2\",group=\"tills\"} 0\n",
          "unitfleetd_poll_duration_seconds 0.5\n", "unitfleetd_jobs{state=\"done\"} 2\n",
          "unitfleetd_jobs{state=\"failed\"} 1\n"},
         {}},
        {7,
         2,
         {},
         {"unit_drift_modes{unit=\"till-1\",address=\"127.0.0.2\",group=\"tills\"} 7\n"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drift);
        DaemonCounters counters;
        counters.lastPollSeconds = c.pollSeconds;
        counters.jobsByState = c.jobs;
        FleetStatus fleet;
        fleet["till-1"].up = true;
        fleet["till-1"].driftModes = c.drift;
        auto text = renderMetrics(counters, {unit("till-1", "127.0.0.2", {"tills"})}, fleet);
        expectWellFormed(text);
        for (const auto& p : c.present) EXPECT_NE(text.find(p), std::string::npos) << p << text;
        for (const auto& a : c.absent) EXPECT_EQ(text.find(a), std::string::npos) << a << text;
    }
}

}  // namespace
}  // namespace unitfleetd
