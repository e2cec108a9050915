// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/router.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

struct PatternCase {
    const char* pattern;
    const char* path;
    bool matches;
    const char* id;  // the {id} found, when there is one
};

class Patterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(Patterns, Match) {
    std::map<std::string, std::string> params;
    const auto& p = GetParam();
    EXPECT_EQ(matchPattern(p.pattern, p.path, params), p.matches) << p.path;
    if (p.matches && *p.id) {
        EXPECT_EQ(params["id"], p.id);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Patterns,
    ::testing::Values(PatternCase{"/api/v1/jobs", "/api/v1/jobs", true, ""},
                      PatternCase{"/api/v1/jobs", "/api/v1/jobs/", false, ""},
                      PatternCase{"/api/v1/jobs/{id}", "/api/v1/jobs/7", true, "7"},
                      PatternCase{"/api/v1/jobs/{id}", "/api/v1/jobs/", false, ""},
                      PatternCase{"/api/v1/jobs/{id}", "/api/v1/jobs/7/stop", false, ""},
                      PatternCase{"/api/v1/jobs/{id}/stop", "/api/v1/jobs/7/stop", true, "7"},
                      PatternCase{"/api/v1/units/{id}", "/api/v1/units/../x", false, ""},
                      PatternCase{"/api/v1/units/{id}", "/api/v1/units/..", true, ".."},
                      PatternCase{"/healthz", "/healthz/", false, ""},
                      PatternCase{"/healthz", "//healthz", false, ""}));

TEST(Router, MethodsAndUnknownPaths) {
    Router router;
    router.add("GET", "/a/{id}", Role::Viewer, nullptr);
    router.add("POST", "/a/{id}", Role::Operator, nullptr);
    auto get = router.match("GET", "/a/1");
    ASSERT_TRUE(get.route);
    EXPECT_EQ(get.route->needs, Role::Viewer);
    EXPECT_EQ(router.match("POST", "/a/1").route->needs, Role::Operator);
    EXPECT_TRUE(router.match("HEAD", "/a/1").route);
    auto del = router.match("DELETE", "/a/1");
    EXPECT_FALSE(del.route);
    EXPECT_TRUE(del.pathKnown);
    EXPECT_FALSE(router.match("GET", "/b").pathKnown);
}

TEST(Target, SplitDecodesPathAndQuery) {
    std::string path;
    std::map<std::string, std::string> query;
    ASSERT_TRUE(splitTarget("/api/v1/units/till%201?group=a+b&name=%3Cx%3E&flag", path, query));
    EXPECT_EQ(path, "/api/v1/units/till 1");
    EXPECT_EQ(query["group"], "a b");
    EXPECT_EQ(query["name"], "<x>");
    EXPECT_EQ(query.count("flag"), 1u);
    for (const char* bad : {"/a%", "/a%2", "/a%zz", "/a?x=%G1"})
        EXPECT_FALSE(splitTarget(bad, path, query)) << bad;
}

}  // namespace
}  // namespace unitfleetd
