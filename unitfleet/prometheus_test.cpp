// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/prometheus.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

TEST(Prometheus, LabelValuesAreEscaped) {
    EXPECT_EQ(labelValue("till-01"), "till-01");
    EXPECT_EQ(labelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
}

TEST(Prometheus, DownUnitsHaveNoReplyTime) {
    std::string text = exposition({{"till-01", "127.0.1.1", true, true, 0.0125},
                                   {"127.0.1.2", "127.0.1.2", false, false, 3}});
    EXPECT_EQ(text,
              "# HELP unit_up Whether the unit answered its UnitStatus query (1) or not (0).\n"
              "# TYPE unit_up gauge\n"
              "unit_up{unit=\"till-01\",address=\"127.0.1.1\"} 1\n"
              "unit_up{unit=\"127.0.1.2\",address=\"127.0.1.2\"} 0\n"
              "# HELP unit_status_ok Whether the unit reported an OK UnitStatus (1) or not (0).\n"
              "# TYPE unit_status_ok gauge\n"
              "unit_status_ok{unit=\"till-01\",address=\"127.0.1.1\"} 1\n"
              "unit_status_ok{unit=\"127.0.1.2\",address=\"127.0.1.2\"} 0\n"
              "# HELP unit_reply_seconds Seconds from the start of the connect to the "
              "UnitStatus reply.\n"
              "# TYPE unit_reply_seconds gauge\n"
              "unit_reply_seconds{unit=\"till-01\",address=\"127.0.1.1\"} 0.012500\n");
}

}  // namespace
}  // namespace unitfleet
