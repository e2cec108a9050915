// SPDX-License-Identifier: Apache-2.0
// What the API refuses, and how: no answer without a login, roles, CSRF,
// login throttling, size limits, security headers, hostile unit texts.
#include <regex>

#include "unitfleetd/api_fixture.h"

namespace unitfleetd::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class Security : public DaemonFixture {};

// Each route of the table with its parameters filled in.
std::string concrete(const std::string& pattern) {
    return std::regex_replace(pattern, std::regex("\\{[a-z]+\\}"), "1");
}

TEST_F(Security, NoRouteAnswersWithoutASessionOrToken) {
    startDaemon();
    int checked = 0;
    for (const auto& route : daemon->api().router().routes()) {
        auto a = call(route.method, concrete(route.pattern), {}, route.method == "GET" ? "" : "{}");
        ASSERT_TRUE(a) << route.pattern;
        bool isPublic = route.pattern == "/healthz" || route.pattern == "/api/v1/login";
        if (isPublic) {
            EXPECT_NE(a->status, 401) << route.method << " " << route.pattern;
        } else {
            EXPECT_EQ(a->status, 401) << route.method << " " << route.pattern;
            EXPECT_EQ(json::parse(a->body)["error"], "log in or give a token");
        }
        ++checked;
    }
    EXPECT_GE(checked, 19);
    // Paths no route has, and methods no route takes, tell nothing either.
    for (auto [method, target] : {std::pair{"GET", "/api"},
                                  {"GET", "/api/v1/secret"},
                                  {"DELETE", "/api/v1/jobs"},
                                  {"GET", "/../../etc/passwd"}})
        EXPECT_EQ(call(method, target)->status, 401) << target;
    // A made-up session or token is no session or token.
    EXPECT_EQ(call("GET", "/api/v1/me", {"Cookie: ufd_session=00"})->status, 401);
    EXPECT_EQ(call("GET", "/api/v1/me", {"Authorization: Bearer ufd_1_00"})->status, 401);
}

TEST_F(Security, MetricsArePublicOnlyWhenConfigured) {
    startDaemon();
    EXPECT_EQ(call("GET", "/metrics")->status, 401);
    stopDaemon();
    startDaemon(", \"metrics_public\": true");
    EXPECT_EQ(call("GET", "/metrics")->status, 200);
}

struct RoleCase {
    Role role;
    const char* method;
    const char* target;
    const char* body;
    int status;
};

class Roles : public Security, public ::testing::WithParamInterface<RoleCase> {};

TEST_P(Roles, EachRouteNeedsItsRole) {
    startDaemon();
    auto token = addToken("someone", GetParam().role);
    auto a = tokenCall(token, GetParam().method, GetParam().target, GetParam().body);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, GetParam().status) << a->body;
}

const char* kJob = R"({"kind": "status", "units": ["till-1"]})";
const char* kUser = R"({"name": "new", "role": "viewer", "password": "long enough pw"})";

INSTANTIATE_TEST_SUITE_P(
    Table, Roles,
    ::testing::Values(RoleCase{Role::Viewer, "GET", "/api/v1/units", "", 200},
                      RoleCase{Role::Viewer, "GET", "/api/v1/jobs", "", 200},
                      RoleCase{Role::Viewer, "POST", "/api/v1/jobs", kJob, 403},
                      RoleCase{Role::Viewer, "POST", "/api/v1/jobs/1/stop", "", 403},
                      RoleCase{Role::Operator, "POST", "/api/v1/jobs", kJob, 201},
                      RoleCase{Role::Operator, "GET", "/api/v1/users", "", 403},
                      RoleCase{Role::Operator, "POST", "/api/v1/users", kUser, 403},
                      RoleCase{Role::Operator, "GET", "/api/v1/audit", "", 403},
                      RoleCase{Role::Admin, "POST", "/api/v1/jobs", kJob, 201},
                      RoleCase{Role::Admin, "GET", "/api/v1/audit", "", 200},
                      RoleCase{Role::Admin, "POST", "/api/v1/users", kUser, 201}));

TEST_F(Security, ASessionsStateChangesNeedItsCsrfToken) {
    startDaemon();
    addUser("ann", Role::Admin, "ann's long password");
    auto s = login("ann", "ann's long password");
    ASSERT_TRUE(s);
    auto other = login("ann", "ann's long password");
    ASSERT_TRUE(other);
    const std::vector<std::pair<std::string, std::string>> changes = {
        {"/api/v1/jobs", kJob}, {"/api/v1/users", kUser}, {"/api/v1/logout", ""}};
    for (const auto& [target, body] : changes) {
        std::vector<std::vector<std::string>> wrong = {
            {"Cookie: " + s->cookie},
            {"Cookie: " + s->cookie, "X-CSRF-Token: "},
            {"Cookie: " + s->cookie, "X-CSRF-Token: " + other->csrf},
            {"Cookie: " + s->cookie, "X-CSRF-Token: " + s->csrf + "0"}};
        for (auto& headers : wrong) {
            auto a = call("POST", target, headers, body);
            EXPECT_EQ(a->status, 403) << target;
            EXPECT_EQ(json::parse(a->body)["error"], "missing or wrong X-CSRF-Token");
        }
    }
    EXPECT_EQ(call("GET", "/api/v1/units", {"Cookie: " + s->cookie})->status, 200)
        << "reading needs no CSRF token";
    EXPECT_EQ(sessionCall(*s, "POST", "/api/v1/jobs", kJob)->status, 201);
    // A token is not sent by browsers on their own: no CSRF token needed.
    auto token = addToken("ci", Role::Operator);
    EXPECT_EQ(tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "units": ["till-2"]})")
                  ->status,
              201);
}

TEST_F(Security, TheEleventhWrongPasswordInAMinuteIsRefusedUnchecked) {
    startDaemon();
    addUser("ann", Role::Viewer, "ann's long password");
    auto attempt = [&](const std::string& password) {
        return call("POST", "/api/v1/login", {},
                    json{{"user", "ann"}, {"password", password}}.dump())
            ->status;
    };
    for (int i = 0; i < 10; ++i) ASSERT_EQ(attempt("wrong " + std::to_string(i)), 401) << i;
    // The right password now: refused, so it cannot have been checked.
    auto a = call("POST", "/api/v1/login", {},
                  json{{"user", "ann"}, {"password", "ann's long password"}}.dump());
    EXPECT_EQ(a->status, 429);
    EXPECT_EQ(a->headers["retry-after"], "60");
    auto admin = addToken("root", Role::Admin);
    auto audit = json::parse(tokenCall(admin, "GET", "/api/v1/audit")->body)["entries"];
    ASSERT_EQ(audit.size(), 11u);
    EXPECT_EQ(audit[0]["outcome"], "429 too many failed logins; try again in a minute");
    EXPECT_EQ(audit[0]["who"], "ann");
}

TEST_F(Security, OversizedHeadersAndBodiesAreRefused) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    auto big = call("GET", "/api/v1/units",
                    {"Authorization: Bearer " + token, "X-Filler: " + std::string(20000, 'x')});
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 431);
    auto many = std::vector<std::string>(400, "X-Filler: " + std::string(30, 'y'));
    many.push_back("Authorization: Bearer " + token);
    EXPECT_EQ(call("GET", "/api/v1/units", many)->status, 431);

    auto body = call("POST", "/api/v1/jobs", {"Authorization: Bearer " + token},
                     "{\"kind\": \"" + std::string(2 << 20, 'k') + "\"}");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->status, 413);
    // Announced only: refused before the body comes.
    Connection c;
    std::string error;
    ASSERT_TRUE(c.open(address, port, error));
    c.send("POST /api/v1/jobs HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999\r\n\r\n");
    auto answer = parseAnswer(c.readToClose(5s));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 413);
    // And the server goes on.
    EXPECT_EQ(tokenCall(token, "GET", "/api/v1/units")->status, 200);
}

TEST_F(Security, EveryAnswerCarriesTheSecurityHeaders) {
    startDaemon();
    auto token = addToken("ops", Role::Viewer);
    std::vector<std::optional<HttpAnswer>> answers = {
        call("GET", "/healthz"),
        call("GET", "/api/v1/units"),
        tokenCall(token, "GET", "/api/v1/units"),
        tokenCall(token, "GET", "/api/v1/nothing"),
        tokenCall(token, "POST", "/api/v1/jobs", kJob),
        call("GET", "/api/v1/units", {"X-Big: " + std::string(20000, 'x')}),
        call("GET", "/api/v1/units%zz")};
    for (auto a : answers) {  // a copy: headers[] may add an empty entry
        ASSERT_TRUE(a);
        SCOPED_TRACE(a->status);
        auto csp = a->headers["content-security-policy"];
        EXPECT_NE(csp.find("frame-ancestors 'none'"), std::string::npos);
        EXPECT_NE(csp.find("script-src 'self'"), std::string::npos);
        EXPECT_EQ(csp.find("unsafe-inline"), std::string::npos);
        EXPECT_EQ(a->headers["x-frame-options"], "DENY");
        EXPECT_EQ(a->headers["x-content-type-options"], "nosniff");
        EXPECT_EQ(a->headers["cache-control"], "no-store");
    }
}

TEST_F(Security, HostileUnitTextsAreServedEscaped) {
    startDaemon(", \"metrics_public\": true");
    auto token = addToken("viewer", Role::Viewer);
    const std::string hostile = "\"<script>alert(1)</script>\n../../etc/passwd\\";
    onLoop([&] {
        daemon->fleet()["till-1"] = UnitStatus{true, false, 0.2, hostile, hostile, 0, 0, -1, {}};
    });
    auto a = tokenCall(token, "GET", "/api/v1/units/till-1");
    ASSERT_EQ(a->status, 200);
    EXPECT_EQ(a->headers["content-type"], "application/json");
    EXPECT_EQ(a->body.find("<script>alert(1)</script>\n"), std::string::npos) << a->body;
    EXPECT_NE(a->body.find(R"(\"<script>alert(1)</script>\n../../etc/passwd\\)"), std::string::npos)
        << a->body;
    auto unit = json::parse(a->body);
    EXPECT_EQ(unit["status"]["unit_id"], hostile) << "the value itself is kept";

    auto metrics = call("GET", "/metrics")->body;
    EXPECT_NE(metrics.find(R"(unit_id="\"<script>alert(1)</script>\n../../etc/passwd\\")"),
              std::string::npos)
        << metrics;

    // A unit name that looks like a path is only ever a key.
    for (const char* target : {"/api/v1/units/..%2F..%2Fetc%2Fpasswd", "/api/v1/units/%2e%2e",
                               "/api/v1/units/till-1%00", "/api/v1/units/%3Cscript%3E"}) {
        auto b = tokenCall(token, "GET", target);
        ASSERT_TRUE(b) << target;
        EXPECT_EQ(b->status, 404) << target;
        EXPECT_EQ(b->headers["content-type"], "application/json");
        EXPECT_NO_THROW(json::parse(b->body));
    }
}

}  // namespace
}  // namespace unitfleetd::testing
