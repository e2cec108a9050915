// SPDX-License-Identifier: Apache-2.0
// The API's answers, through real HTTP against a daemon in this process.
#include <thread>

#include "tests/support/process.h"
#include "unitfleetd/api_fixture.h"

namespace unitfleetd::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class Api : public DaemonFixture {};

TEST_F(Api, HealthzNeedsNoLogin) {
    startDaemon();
    auto a = call("GET", "/healthz");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, 200);
    EXPECT_EQ(json::parse(a->body)["status"], "ok");
}

TEST_F(Api, LoginMeLogout) {
    startDaemon();
    addUser("ann", Role::Operator, "ann's long password");
    auto answer = call("POST", "/api/v1/login", {"Content-Type: application/json"},
                       R"({"user": "ann", "password": "ann's long password"})");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200) << answer->body;
    ASSERT_EQ(answer->cookies.size(), 1u);
    const auto& cookie = answer->cookies[0];
    for (const char* flag : {"HttpOnly", "SameSite=Strict", "Path=/"})
        EXPECT_NE(cookie.find(flag), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("Secure"), std::string::npos) << "no TLS here";

    auto session = login("ann", "ann's long password");
    ASSERT_TRUE(session);
    auto me = call("GET", "/api/v1/me", {"Cookie: " + session->cookie});
    ASSERT_EQ(me->status, 200);
    EXPECT_EQ(json::parse(me->body)["role"], "operator");
    EXPECT_EQ(json::parse(me->body)["csrf"], session->csrf);

    EXPECT_EQ(sessionCall(*session, "POST", "/api/v1/logout")->status, 200);
    EXPECT_EQ(call("GET", "/api/v1/me", {"Cookie: " + session->cookie})->status, 401);
}

TEST_F(Api, WrongPasswordsAndDisabledUsers) {
    startDaemon();
    addUser("ann", Role::Viewer, "ann's long password");
    EXPECT_FALSE(login("ann", "not the password"));
    EXPECT_FALSE(login("nobody", "ann's long password"));
    auto a = call("POST", "/api/v1/login", {}, R"({"user": "ann"})");
    EXPECT_EQ(a->status, 400);
    // Without the JSON type, as a cross-site form would send it.
    a = call("POST", "/api/v1/login", {"Content-Type: application/x-www-form-urlencoded"},
             "user=ann&password=x");
    EXPECT_EQ(a->status, 400);
}

struct UnitQuery {
    const char* query;
    int status;
    std::vector<std::string> names;  // in order
    int total;
};

class UnitList : public Api, public ::testing::WithParamInterface<UnitQuery> {};

TEST_P(UnitList, FilterSortPage) {
    startDaemon();
    auto token = addToken("viewer", Role::Viewer);
    auto a = tokenCall(token, "GET", std::string("/api/v1/units") + GetParam().query);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->status, GetParam().status) << a->body;
    if (a->status != 200)
        return;
    auto body = json::parse(a->body);
    std::vector<std::string> names;
    for (auto& u : body["units"]) names.push_back(u["name"]);
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(body["total"], GetParam().total);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitList,
    ::testing::Values(UnitQuery{"", 200, {"till-1", "till-2", "scale-1", "127.0.1.4"}, 4},
                      UnitQuery{"?group=tills", 200, {"till-1", "till-2"}, 2},
                      UnitQuery{"?group=north&sort=-name", 200, {"till-1", "scale-1"}, 2},
                      UnitQuery{"?name=till", 200, {"till-1", "till-2"}, 2},
                      UnitQuery{"?name=127.0.1.4", 200, {"127.0.1.4"}, 1},
                      UnitQuery{"?sort=name", 200, {"127.0.1.4", "scale-1", "till-1", "till-2"}, 4},
                      UnitQuery{"?sort=-address&per_page=2", 200, {"127.0.1.4", "scale-1"}, 4},
                      UnitQuery{"?per_page=3&page=2", 200, {"127.0.1.4"}, 4},
                      UnitQuery{"?page=9", 200, {}, 4},
                      UnitQuery{"?state=unknown&group=scales", 200, {"scale-1"}, 1},
                      UnitQuery{"?state=up", 200, {}, 0}, UnitQuery{"?sort=colour", 400, {}, 0},
                      UnitQuery{"?page=0", 400, {}, 0}, UnitQuery{"?per_page=x", 400, {}, 0},
                      UnitQuery{"?state=sideways", 400, {}, 0}));

TEST_F(Api, OneUnit) {
    startDaemon();
    auto token = addToken("viewer", Role::Viewer);
    auto a = tokenCall(token, "GET", "/api/v1/units/till-2");
    ASSERT_EQ(a->status, 200);
    auto unit = json::parse(a->body);
    EXPECT_EQ(unit["address"], "127.0.1.2");
    EXPECT_EQ(unit["groups"], json({"tills", "south"}));
    EXPECT_TRUE(unit["status"].is_null());
    EXPECT_EQ(tokenCall(token, "GET", "/api/v1/units/till-9")->status, 404);
}

TEST_F(Api, AJobRunsAndKeepsItsResults) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    auto a = tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "group": "tills"})");
    ASSERT_EQ(a->status, 201) << a->body;
    auto job = json::parse(a->body);
    EXPECT_EQ(job["started_by"], "ops");
    EXPECT_EQ(job["units_total"], 2);
    EXPECT_EQ(a->headers["location"], "/api/v1/jobs/" + std::to_string(job["id"].get<int>()));
    auto done = waitForJob(token, job["id"]);
    EXPECT_EQ(done["state"], "done");
    ASSERT_EQ(done["results"].size(), 2u);
    EXPECT_EQ(done["results"][0]["outcome"], "ok");
    auto list = json::parse(tokenCall(token, "GET", "/api/v1/jobs")->body);
    EXPECT_EQ(list["total"], 1);
    EXPECT_EQ(list["kinds"], json({"status", "backup"}));
}

struct JobRequestCase {
    const char* name;
    const char* body;
    int status;
    const char* error;
};

class JobRequests : public Api, public ::testing::WithParamInterface<JobRequestCase> {};

TEST_P(JobRequests, AreCheckedBeforeTheyStart) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    auto a = tokenCall(token, "POST", "/api/v1/jobs", GetParam().body);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, GetParam().status) << a->body;
    EXPECT_NE(json::parse(a->body).value("error", "").find(GetParam().error), std::string::npos)
        << a->body;
    EXPECT_EQ(runner.started(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, JobRequests,
    ::testing::Values(
        JobRequestCase{"UnknownKind", R"({"kind": "dance"})", 400, "unknown job kind 'dance'"},
        JobRequestCase{"NoKind", R"({"units": []})", 400, "kind"},
        JobRequestCase{"UnknownUnit", R"({"kind": "status", "units": ["till-9"]})", 400,
                       "no unit 'till-9'"},
        JobRequestCase{"EmptyGroup", R"({"kind": "status", "group": "ovens"})", 400, "no units"},
        JobRequestCase{"BadParams", R"({"kind": "status", "params": {"outcome": 3}})", 400,
                       "params.outcome"},
        JobRequestCase{"NotObject", R"([1, 2])", 400, "one JSON object"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Api, AUnitIsInOneJobAtATimeAndJobsStop) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    runner.hold(true);
    auto first =
        tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "backup", "group": "north"})");
    ASSERT_EQ(first->status, 201);
    auto id = json::parse(first->body)["id"].get<int>();
    auto second = tokenCall(token, "POST", "/api/v1/jobs",
                            R"({"kind": "status", "units": ["till-2", "scale-1"]})");
    EXPECT_EQ(second->status, 409);
    EXPECT_NE(second->body.find("scale-1 (job " + std::to_string(id) + ")"), std::string::npos)
        << second->body;
    auto other =
        tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "units": ["till-2"]})");
    EXPECT_EQ(other->status, 201);

    EXPECT_EQ(tokenCall(token, "POST", "/api/v1/jobs/" + std::to_string(id) + "/stop")->status,
              202);
    runner.hold(false);
    auto stopped = waitForJob(token, id);
    EXPECT_EQ(stopped["state"], "stopped");
    EXPECT_EQ(stopped["results"].size(), 1u) << "the unit under way finishes, no new one starts";
    EXPECT_EQ(tokenCall(token, "POST", "/api/v1/jobs/" + std::to_string(id) + "/stop")->status,
              409);
    EXPECT_EQ(tokenCall(token, "POST", "/api/v1/jobs/999/stop")->status, 404);
    // Its units are free again.
    EXPECT_EQ(
        tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "group": "north"})")->status,
        201);
}

TEST_F(Api, ProgressComesAsServerSentEvents) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    Connection events;
    std::string error;
    ASSERT_TRUE(events.open(address, port, error)) << error;
    events.send("GET /api/v1/events HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token +
                "\r\n\r\n");
    auto& head = events.readUntil("event: hello", 5s);
    ASSERT_NE(head.find("Content-Type: text/event-stream"), std::string::npos) << head;
    EXPECT_NE(head.find("X-Content-Type-Options: nosniff"), std::string::npos);

    auto a = tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "units": ["till-1"]})");
    ASSERT_EQ(a->status, 201);
    auto& text = events.readUntil("\"state\":\"done\"", 10s);
    EXPECT_NE(
        text.find("event: unit\ndata: {\"job\":1,\"outcome\":\"running\",\"unit\":\"till-1\"}"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\"outcome\":\"ok\""), std::string::npos) << text;
    EXPECT_NE(text.find("event: job\ndata: {\"job\":1,\"message\":\"\",\"state\":\"done\"}"),
              std::string::npos)
        << text;

    // One topic at a time, or one job's; anything else is refused.
    for (auto [query, status] : {std::pair{"?topic=status", 200}, {"?topic=schedule", 200},
                                 {"?job=1", 200}, {"?topic=jobs", 400}, {"?topic=", 400},
                                 {"?job=1&topic=status", 400}, {"?job=x", 400}}) {
        Connection c;
        ASSERT_TRUE(c.open(address, port, error)) << error;
        c.send(std::string("GET /api/v1/events") + query +
               " HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token + "\r\n\r\n");
        auto& answer = c.readUntil(status == 200 ? "event: hello" : "\r\n\r\n", 5s);
        EXPECT_EQ(answer.rfind("HTTP/1.1 " + std::to_string(status), 0), 0u) << query << answer;
    }
}

TEST_F(Api, AdminsManageUsersAndEveryChangeIsAudited) {
    startDaemon();
    auto admin = addToken("root", Role::Admin);
    auto a = tokenCall(admin, "POST", "/api/v1/users",
                       R"({"name": "bob", "role": "viewer", "password": "bob's long password"})");
    ASSERT_EQ(a->status, 201) << a->body;
    EXPECT_EQ(json::parse(a->body)["role"], "viewer");
    EXPECT_EQ(a->body.find("hash"), std::string::npos);
    auto bob = login("bob", "bob's long password");
    ASSERT_TRUE(bob);

    EXPECT_EQ(tokenCall(admin, "PATCH", "/api/v1/users/bob", R"({"role": "operator"})")->status,
              200);
    EXPECT_EQ(json::parse(call("GET", "/api/v1/me", {"Cookie: " + bob->cookie})->body)["role"],
              "operator");
    EXPECT_EQ(tokenCall(admin, "PATCH", "/api/v1/users/bob", R"({"role": "king"})")->status, 400);
    EXPECT_EQ(tokenCall(admin, "PATCH", "/api/v1/users/zed", R"({"role": "admin"})")->status, 404);
    EXPECT_EQ(tokenCall(admin, "POST", "/api/v1/users/bob/password",
                        R"({"password": "a new long password"})")
                  ->status,
              200);
    EXPECT_EQ(call("GET", "/api/v1/me", {"Cookie: " + bob->cookie})->status, 401)
        << "a new password ends the old sessions";
    ASSERT_TRUE(login("bob", "a new long password"));
    EXPECT_EQ(tokenCall(admin, "PATCH", "/api/v1/users/bob", R"({"disabled": true})")->status, 200);
    EXPECT_FALSE(login("bob", "a new long password"));

    auto script = addToken("script", Role::Viewer);
    EXPECT_EQ(tokenCall(script, "GET", "/api/v1/me")->status, 200);
    auto revoked = tokenCall(admin, "POST", "/api/v1/users/script/revoke-tokens");
    EXPECT_EQ(json::parse(revoked->body)["revoked"], 1);
    EXPECT_EQ(tokenCall(script, "GET", "/api/v1/me")->status, 401);

    auto users = json::parse(tokenCall(admin, "GET", "/api/v1/users")->body)["users"];
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]["disabled"], true);

    auto audit = json::parse(tokenCall(admin, "GET", "/api/v1/audit?limit=100")->body)["entries"];
    std::vector<std::string> lines;
    for (auto& e : audit)
        lines.push_back(e["who"].get<std::string>() + " " + e["action"].get<std::string>() + " " +
                        e["outcome"].get<std::string>());
    std::reverse(lines.begin(), lines.end());
    std::vector<std::string> expected = {
        "root POST /api/v1/users 201",
        "bob POST /api/v1/login 200",
        "root PATCH /api/v1/users/bob 200",
        "root PATCH /api/v1/users/bob 400 role must be viewer, operator or admin",
        "root PATCH /api/v1/users/zed 404 no user 'zed'",
        "root POST /api/v1/users/bob/password 200",
        "bob POST /api/v1/login 200",
        "root PATCH /api/v1/users/bob 200",
        "bob POST /api/v1/login 401 wrong user name or password",
        "root POST /api/v1/users/script/revoke-tokens 200",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(audit[0]["address"], "127.0.0.1") << "the client's own address";
}

TEST_F(Api, MetricsCountAnswersAndJobs) {
    startDaemon(", \"metrics_public\": true");
    call("GET", "/api/v1/me");
    auto a = call("GET", "/metrics");
    ASSERT_EQ(a->status, 200);
    EXPECT_EQ(a->headers["content-type"], "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_NE(a->body.find("unitfleetd_http_requests_total{code=\"401\"} 1\n"), std::string::npos)
        << a->body;
    EXPECT_NE(a->body.find("unitfleetd_inventory_units 4\n"), std::string::npos);
}

TEST_F(Api, AReloadReadsTheInventoryAgainAndKeepsTheOldOneOnFaults) {
    startDaemon();
    auto token = addToken("viewer", Role::Viewer);
    support::writeFile(folder + "/units.txt", "127.0.1.1 till-1\n127.0.1.9 oven-1\n");
    std::vector<std::string> faults;
    onLoop([&] { faults = daemon->reload(); });
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(json::parse(tokenCall(token, "GET", "/api/v1/units")->body)["total"], 2);

    support::writeFile(folder + "/units.txt", "127.0.1.1 till-1\n127.0.1.2:99999 till-2\n");
    onLoop([&] { faults = daemon->reload(); });
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("units.txt:2"), std::string::npos) << faults[0];
    EXPECT_EQ(json::parse(tokenCall(token, "GET", "/api/v1/units")->body)["total"], 2);

    support::writeFile(folder + "/unitfleetd.conf", "{\"inventory\": 5}");
    onLoop([&] { faults = daemon->reload(); });
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("inventory: must be a non-empty string"), std::string::npos);
}

TEST_F(Api, OneDaemonPerStateFolder) {
    startDaemon();
    std::vector<std::string> errors;
    auto config = loadConfig(folder + "/unitfleetd.conf", errors);
    ASSERT_TRUE(config);
    EXPECT_FALSE(Daemon::create(*config, nullptr, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("another unitfleetd uses the state folder"), std::string::npos)
        << errors[0];
}

}  // namespace
}  // namespace unitfleetd::testing
