// SPDX-License-Identifier: Apache-2.0
#include "loadgen/load_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace loadgen {
namespace {

TEST(LoadReport, PercentilesByNearestRank) {
    std::vector<double> v;
    for (int i = 100; i >= 1; --i) v.push_back(i);
    Percentiles p = percentiles(v);
    EXPECT_EQ(p.p50, 50);
    EXPECT_EQ(p.p90, 90);
    EXPECT_EQ(p.p99, 99);
    EXPECT_EQ(p.max, 100);
    EXPECT_EQ(percentiles({7}).p50, 7);
    EXPECT_EQ(percentiles({}).max, 0);
}

TEST(LoadReport, TableAndJsonCarryTheSameCounts) {
    LoadPlan plan;
    plan.rate = 1000;
    plan.count = 3;
    LoadResult r;
    r.sent = 3;
    r.answered = 2;
    r.wrong = 1;
    r.checked = true;
    r.failed = 1;
    r.failures["connection refused"] = 1;
    r.malformed = 1;
    r.malformedSamples = {"length field 7: 9 bytes 000000070A0B0C0D0E"};
    r.replyMs = {1.0, 2.0};
    r.seconds = 1;
    std::string table = loadTable(plan, r);
    EXPECT_NE(table.find("  sent                            3\n"), std::string::npos) << table;
    EXPECT_NE(table.find("    right                         1\n"), std::string::npos) << table;
    EXPECT_NE(table.find("    connection refused            1\n"), std::string::npos) << table;
    EXPECT_NE(table.find("max     2.00"), std::string::npos) << table;
    EXPECT_NE(table.find("  malformed                       1"), std::string::npos) << table;
    EXPECT_NE(table.find("  malformed: length field 7: 9 bytes 000000"), std::string::npos)
        << table;
    nlohmann::json json = nlohmann::json::parse(loadJson(plan, r));
    EXPECT_EQ(json["sent"], 3);
    EXPECT_EQ(json["answered"], 2);
    EXPECT_EQ(json["right"], 1);
    EXPECT_EQ(json["wrong"], 1);
    EXPECT_EQ(json["malformed"], 1);
    EXPECT_EQ(json["failures"], nlohmann::json({{"connection refused", 1}}));
    EXPECT_EQ(json["reply_ms"]["p50"], 1.0);
    EXPECT_EQ(json["reply_ms"]["max"], 2.0);
    EXPECT_EQ(json["malformed_samples"].size(), 1u);
}

TEST(LoadReport, UnitTextThatIsNoUtf8StillGivesJson) {
    LoadPlan plan;
    LoadResult r;
    r.wrongSamples = {"expected \"a\", got \"\xff\xfe\""};
    nlohmann::json json = nlohmann::json::parse(loadJson(plan, r), nullptr, false);
    EXPECT_FALSE(json.is_discarded());
}

}  // namespace
}  // namespace loadgen
