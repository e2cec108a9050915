// SPDX-License-Identifier: Apache-2.0
// One unit in detail, its history, diffs, drift and baselines, against a
// git store this test records (listings committed with known changes).
#include <cstdint>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/support/process.h"
#include "unitfleet/git_store.h"
#include "unitfleet/inventory.h"
#include "unitfleetd/api_fixture.h"
#include "unitfleetd/listing_store.h"

namespace unitfleetd::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Modes = std::vector<std::pair<std::string, std::string>>;

std::string listingText(const std::string& target, const Modes& modes) {
    std::string text = "\n\n# ***  Current Content  ***\n\nTargetIP = " + target + "\n";
    for (const auto& [name, value] : modes) text += name + " = " + value + "\n";
    return text;
}

// The store's commits, oldest first (HEAD~4 .. HEAD):
//   1 all three listed; 2 till-1 POSTimeout 10 -> 20 (and its clock);
//   3 till-2 Language EN -> DE; 4 scale-1 Scale g -> kg, till-1's clock alone;
//   5 till-1 Language EN -> FR and a new mode Printer.
const Modes kTill1v1 = {
    {"UnitID", "T1"}, {"POSTimeout", "10"}, {"Language", "EN"}, {"DateTime", "1"}};
const Modes kTill1v2 = {
    {"UnitID", "T1"}, {"POSTimeout", "20"}, {"Language", "EN"}, {"DateTime", "2"}};
const Modes kTill1v4 = {
    {"UnitID", "T1"}, {"POSTimeout", "20"}, {"Language", "EN"}, {"DateTime", "4"}};
const Modes kTill1v5 = {{"UnitID", "T1"},
                        {"POSTimeout", "20"},
                        {"Language", "FR"},
                        {"DateTime", "5"},
                        {"Printer", "on"}};
const Modes kTill2v1 = {{"UnitID", "T2"}, {"POSTimeout", "10"}, {"Language", "EN"}};
const Modes kTill2v3 = {{"UnitID", "T2"}, {"POSTimeout", "10"}, {"Language", "DE"}};

class Detail : public DaemonFixture {
  protected:
    void SetUp() override {
        DaemonFixture::SetUp();
        store = folder + "/state/store";
        std::filesystem::create_directories(store);
        support::writeFile(folder + "/tills.ini", "POSTimeout = 20\nLanguage = EN\nNewMode = x\n");
        support::writeFile(folder + "/north.ini", "Scale = kg\n");
        record({{"till-1", kTill1v1}, {"till-2", kTill2v1}, {"scale-1", {{"Scale", "g"}}}});
        record({{"till-1", kTill1v2}});
        record({{"till-2", kTill2v3}});
        record({{"scale-1", {{"Scale", "kg"}}}, {"till-1", kTill1v4}});
        record({{"till-1", kTill1v5}});
    }

    void start() {
        startDaemon(R"(, "baselines": {"tills": "tills.ini", "north": "north.ini"})");
        viewer = addToken("vic", Role::Viewer);
    }

    // One backup run's listings, committed as unitfleet backup --git does.
    void record(const std::vector<std::pair<std::string, Modes>>& units) {
        unitfleet::GitRun run;
        for (const auto& [stem, modes] : units) {
            support::writeFile(store + "/" + stem + ".ini", listingText("127.0.1.9", modes));
            run.stems.push_back(stem);
        }
        run.units = units.size();
        std::string error;
        auto commit = unitfleet::commitListings(store, run, error);
        ASSERT_TRUE(commit) << error;
    }

    json get(const std::string& target, int status = 200) {
        auto a = tokenCall(viewer, "GET", target);
        EXPECT_TRUE(a);
        if (!a)
            return {};
        EXPECT_EQ(a->status, status) << target << ": " << a->body;
        return json::parse(a->body, nullptr, false);
    }

    std::string store;
    std::string viewer;
};

// The modes a history entry says changed, in order.
std::vector<std::string> modesOf(const json& commit) {
    std::vector<std::string> modes;
    for (const auto& c : commit["changes"]) modes.push_back(c["mode"]);
    return modes;
}

struct HistoryCase {
    const char* unit;
    const char* query;
    int total;
    std::vector<std::vector<std::string>> modes;  // per commit on the page, newest first
};

TEST_F(Detail, HistoryListsExactlyTheCommitsTouchingTheUnit) {
    const HistoryCase cases[] = {
        {"till-1",
         "",
         3,
         {{"Language", "Printer"},
          {"POSTimeout"},
          {"TargetIP", "UnitID", "POSTimeout", "Language"}}},
        {"till-1", "?per_page=1&page=2", 3, {{"POSTimeout"}}},
        {"till-1", "?per_page=2&page=2", 3, {{"TargetIP", "UnitID", "POSTimeout", "Language"}}},
        {"till-1", "?page=9", 3, {}},
        {"till-2", "", 2, {{"Language"}, {"TargetIP", "UnitID", "POSTimeout", "Language"}}},
        {"scale-1", "", 2, {{"Scale"}, {"TargetIP", "Scale"}}},
        {"127.0.1.4", "", 0, {}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + c.query);
        auto body = get(std::string("/api/v1/units/") + c.unit + "/history" + c.query);
        EXPECT_EQ(body["total"], c.total);
        ASSERT_EQ(body["commits"].size(), c.modes.size());
        for (std::size_t i = 0; i < c.modes.size(); ++i) {
            const auto& commit = body["commits"][i];
            EXPECT_EQ(modesOf(commit), c.modes[i]);
            EXPECT_EQ(commit["author"], "unitfleet");
            EXPECT_EQ(commit["revision"].get<std::string>().size(), 40u);
            EXPECT_EQ(commit["revision"].get<std::string>().substr(0, 7), commit["short"]);
            EXPECT_EQ(commit["subject"].get<std::string>().rfind("backup of ", 0), 0u);
        }
    }
    // The oldest entry of a unit is its first listing.
    auto all = get("/api/v1/units/till-1/history");
    EXPECT_TRUE(all["commits"][2]["added"].get<bool>());
    EXPECT_FALSE(all["commits"][0]["added"].get<bool>());
    get("/api/v1/units/till-1/history?per_page=0", 400);
    get("/api/v1/units/till-1/history?page=x", 400);
    get("/api/v1/units/nobody/history", 404);
}

TEST_F(Detail, HistoryFollowsNewCommits) {
    start();
    EXPECT_EQ(get("/api/v1/units/till-2/history")["total"], 2);
    record({{"till-2", kTill2v1}});
    auto body = get("/api/v1/units/till-2/history");
    EXPECT_EQ(body["total"], 3);
    EXPECT_EQ(modesOf(body["commits"][0]), std::vector<std::string>{"Language"});
}

struct Difference {
    std::string mode, change;
    json a, b;
    bool operator==(const Difference&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Difference& d) {
    return out << d.mode << " " << d.change << " " << d.a << " " << d.b;
}

struct DiffCase {
    const char* target;
    int status;
    std::vector<Difference> changes;
};

TEST_F(Detail, DiffsOfRevisionsAndOfUnitsModeByMode) {
    const DiffCase cases[] = {
        {"/api/v1/units/till-1/diff?from=HEAD~4&to=HEAD~3",
         200,
         {{"POSTimeout", "changed", "10", "20"}}},
        {"/api/v1/units/till-1/diff",  // HEAD~1 to HEAD
         200,
         {{"Language", "changed", "EN", "FR"}, {"Printer", "only_in_b", nullptr, "on"}}},
        {"/api/v1/units/till-1/diff?from=HEAD&to=HEAD~4",
         200,
         {{"POSTimeout", "changed", "20", "10"},
          {"Language", "changed", "FR", "EN"},
          {"Printer", "only_in_a", "on", nullptr}}},
        {"/api/v1/units/till-1/diff?from=HEAD~1&to=HEAD~2", 200, {}},  // the clock alone
        {"/api/v1/units/till-1/diff?from=HEAD%5E%5E%5E%5E&to=HEAD",
         200,
         {{"POSTimeout", "changed", "10", "20"},
          {"Language", "changed", "EN", "FR"},
          {"Printer", "only_in_b", nullptr, "on"}}},
        {"/api/v1/diff?a=till-1&b=till-2",
         200,
         {{"UnitID", "changed", "T1", "T2"},
          {"POSTimeout", "changed", "20", "10"},
          {"Language", "changed", "FR", "DE"},
          {"Printer", "only_in_a", "on", nullptr}}},
        {"/api/v1/diff?a=till-1&b=till-2&rev=HEAD~4", 200, {{"UnitID", "changed", "T1", "T2"}}},
        {"/api/v1/diff?a=till-1&b=till-1", 200, {}},
        // Refused revisions: not git syntax we pass on.
        {"/api/v1/units/till-1/diff?from=--output=/tmp/x", 400, {}},
        {"/api/v1/units/till-1/diff?from=HEAD@%7B1%7D", 400, {}},
        {"/api/v1/units/till-1/diff?from=HEAD~1..HEAD", 400, {}},
        {"/api/v1/units/till-1/diff?to=HEAD:till-1.ini", 400, {}},
        {"/api/v1/units/till-1/diff?to=../../etc", 400, {}},
        {"/api/v1/units/till-1/diff?to=HEAD%0A", 400, {}},
        {"/api/v1/units/till-1/diff?to=HEAD~99999", 400, {}},
        {"/api/v1/diff?a=till-1&b=till-2&rev=-n", 400, {}},
        {"/api/v1/diff?a=till-1", 400, {}},
        // Well-formed but not in the store.
        {"/api/v1/units/till-1/diff?from=deadbeef", 404, {}},
        {"/api/v1/units/till-1/diff?to=HEAD~9", 404, {}},
        {"/api/v1/units/till-1/diff?to=no-such-tag", 404, {}},
        {"/api/v1/diff?a=till-1&b=127.0.1.4", 404, {}},  // no listing
        {"/api/v1/diff?a=till-1&b=nobody", 404, {}},
        {"/api/v1/units/nobody/diff", 404, {}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        auto body = get(c.target, c.status);
        if (c.status != 200) {
            EXPECT_TRUE(body["error"].is_string());
            continue;
        }
        std::vector<Difference> found;
        for (const auto& d : body["changes"])
            if (d["mode"] != "TargetIP")
                found.push_back({d["mode"], d["change"], d["a"], d["b"]});
        EXPECT_EQ(found, c.changes);
        EXPECT_EQ(body["revisions"]["a"].get<std::string>().size(), 40u);
        for (const auto& d : body["changes"])
            EXPECT_EQ(d["identity"].get<bool>(), d["mode"] == "TargetIP");
    }
}

struct DriftCase {
    const char* unit;
    json baseline;                  // the group whose baseline counts, or null
    int count;                      // -1: unknown
    std::vector<Difference> modes;  // mode, "", baseline value, unit value
};

TEST_F(Detail, DriftFromTheFirstGroupWithABaseline) {
    const DriftCase cases[] = {
        // till-1 is in tills and north: tills comes first on its line.
        {"till-1", "tills", 2, {{"Language", "", "EN", "FR"}, {"NewMode", "", "x", nullptr}}},
        {"till-2",
         "tills",
         3,
         {{"POSTimeout", "", "20", "10"},
          {"Language", "", "EN", "DE"},
          {"NewMode", "", "x", nullptr}}},
        {"scale-1", "north", 0, {}},
        {"127.0.1.4", nullptr, -1, {}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        auto body = get(std::string("/api/v1/units/") + c.unit);
        EXPECT_EQ(body["name"], c.unit);
        EXPECT_EQ(body["drift_modes"], c.count);
        if (c.baseline.is_null()) {
            EXPECT_TRUE(body["baseline"].is_null());
            EXPECT_TRUE(body["drift"].is_null());
        } else {
            EXPECT_EQ(body["baseline"]["group"], c.baseline);
            EXPECT_EQ(body["drift"]["count"], c.count);
            std::vector<Difference> found;
            for (const auto& d : body["drift"]["modes"])
                found.push_back({d["mode"], "", d["baseline"], d["unit"]});
            EXPECT_EQ(found, c.modes);
        }
    }
    auto till1 = get("/api/v1/units/till-1");
    EXPECT_EQ(till1["baseline"]["groups"], json({"tills", "north"}));
    EXPECT_EQ(till1["listing"]["target"], "127.0.1.9");
    EXPECT_EQ(till1["listing"]["modes"].size(), 5u);
    EXPECT_EQ(till1["listing"]["revision"], get("/api/v1/units/till-1/history")["head"]);

    // The counts the daemon keeps for /metrics and the status entries.
    onLoop([&] { daemon->fleet()["till-2"] = UnitStatus{}; });
    auto counted = [&](const std::string& key) {
        int n = -2;
        onLoop([&] { n = driftModesOf(daemon->detail(), key); });
        return n;
    };
    for (int i = 0; i < 200 && counted("till-2") != 3; ++i) std::this_thread::sleep_for(50ms);
    onLoop([&] { daemon->detail().refresh(); });
    int entry = -2;
    for (int i = 0; i < 200 && entry != 3; ++i) {
        std::this_thread::sleep_for(50ms);
        onLoop([&] { entry = daemon->fleet()["till-2"].driftModes; });
    }
    EXPECT_EQ(entry, 3);
    int drifting = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(counted(c.unit), c.count) << c.unit;
        drifting += c.count > 0 ? 1 : 0;
    }
    EXPECT_EQ(get("/api/v1/fleet")["drifting"], drifting);
}

TEST_F(Detail, BaselinesListedReadAndPlanned) {
    start();
    auto list = get("/api/v1/baselines");
    ASSERT_EQ(list["baselines"].size(), 2u);
    EXPECT_EQ(list["baselines"][0]["group"], "north");
    EXPECT_EQ(list["baselines"][0]["units"], 2);      // till-1 and scale-1
    EXPECT_EQ(list["baselines"][0]["following"], 1);  // scale-1: till-1 follows tills
    EXPECT_EQ(list["baselines"][1]["modes"], 3);
    auto tills = get("/api/v1/baselines/tills");
    EXPECT_EQ(tills["modes"][2], json({{"mode", "NewMode"}, {"value", "x"}, {"line", 3}}));
    get("/api/v1/baselines/scales", 404);

    auto plan = get("/api/v1/baselines/tills/plan");
    EXPECT_EQ(plan["total"], 2);
    EXPECT_EQ(plan["changing"], 2);
    ASSERT_EQ(plan["units"].size(), 2u);
    EXPECT_EQ(plan["units"][0]["name"], "till-1");
    EXPECT_EQ(plan["units"][0]["changes"],
              json::parse(R"([{"mode": "Language", "from": "FR", "to": "EN"}])"));
    EXPECT_EQ(plan["units"][0]["unknown"], json({"NewMode"}));
    EXPECT_EQ(plan["units"][1]["changes"].size(), 2u);
    auto north = get("/api/v1/baselines/north/plan?per_page=1&page=2");
    EXPECT_EQ(north["total"], 2);
    EXPECT_EQ(north["changing"], 1);  // till-1 lacks Scale
    ASSERT_EQ(north["units"].size(), 1u);
    EXPECT_EQ(north["units"][0]["name"], "scale-1");
    EXPECT_EQ(north["units"][0]["changes"].size(), 0u);
}

struct PutCase {
    const char* who;  // viewer, operator, admin-token, admin-session, admin-no-csrf
    const char* group;
    std::string body;
    int status;
    const char* fault;  // part of the error
};

TEST_F(Detail, BaselinePutIsForAdminsCheckedWrittenAndAudited) {
    const PutCase cases[] = {
        {"viewer", "tills", R"({"text": "A = 1\n"})", 403, "admin"},
        {"operator", "tills", R"({"text": "A = 1\n"})", 403, "admin"},
        {"admin-no-csrf", "tills", R"({"text": "A = 1\n"})", 403, "CSRF"},
        {"admin-session", "tills", R"({"text": "A = 1\nA = 2\n"})", 400, "tills:2: A is set again"},
        {"admin-session", "tills", R"({"text": "# nothing\n"})", 400, "sets no modes"},
        {"admin-session", "tills", R"({"text": "A = 1\u0000B = 2\n"})", 400, "zero byte"},
        {"admin-session", "tills", R"({"text": 7})", 400, "text"},
        {"admin-session", "tills", R"({"text": "A = 1\n", "file": "/etc/passwd"})", 400, "text"},
        {"admin-session", "nowhere", R"({"text": "A = 1\n"})", 404, "nowhere"},
        {"admin-token", "north", "{\"text\": \"Scale = g\\n\"}", 200, ""},
        {"admin-session", "tills", R"({"text": "POSTimeout = 20\n"})", 200, ""},
    };
    start();
    addUser("adam", Role::Admin, "adam's long password");
    auto session = login("adam", "adam's long password");
    ASSERT_TRUE(session);
    std::map<std::string, std::string> tokens = {{"viewer", viewer},
                                                 {"operator", addToken("olga", Role::Operator)},
                                                 {"admin-token", addToken("ada", Role::Admin)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.who) + " " + c.body);
        std::string target = std::string("/api/v1/baselines/") + c.group;
        std::string who = c.who;
        std::optional<HttpAnswer> a;
        if (who == "admin-session")
            a = sessionCall(*session, "PUT", target, c.body);
        else if (who == "admin-no-csrf")
            a = call("PUT", target, {"Cookie: " + session->cookie}, c.body);
        else
            a = tokenCall(tokens[who], "PUT", target, c.body);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->status, c.status) << a->body;
        auto body = json::parse(a->body);
        if (c.status != 200) {
            EXPECT_NE(body.value("error", "").find(c.fault), std::string::npos) << a->body;
        }
    }
    EXPECT_EQ(*unitfleet::readTextFile(folder + "/tills.ini"), "POSTimeout = 20\n");
    EXPECT_EQ(*unitfleet::readTextFile(folder + "/north.ini"), "Scale = g\n");
    // The fresh baseline counts at once.
    EXPECT_EQ(get("/api/v1/units/till-2")["drift_modes"], 1);

    auto entries = daemon->store().audit(100, INT64_MAX);
    int written = 0, refused = 0;
    for (const auto& e : entries) {
        if (e.action.rfind("PUT /api/v1/baselines/", 0) != 0)
            continue;
        (e.outcome == "200" ? written : refused)++;
        if (e.outcome == "200") {
            EXPECT_TRUE(e.target == "baseline tills" || e.target == "baseline north") << e.target;
        }
    }
    EXPECT_EQ(written, 2);
    EXPECT_EQ(refused, static_cast<int>(std::size(cases)) - 2);
}

TEST_F(Detail, HostileUnitTextIsEscapedAndNeverAPath) {
    const std::string hostile = "\"<script>alert(1)</script>\\ ../../etc/passwd \x1b[2J";
    record({{"scale-1", {{"UnitID", hostile}, {"Scale", "kg"}, {"../x", "y"}}}});
    start();
    auto a = tokenCall(viewer, "GET", "/api/v1/units/scale-1");
    ASSERT_EQ(a->status, 200) << a->body;
    EXPECT_NE(a->body.find("\\\"<script>"), std::string::npos) << "quotes are escaped";
    EXPECT_EQ(a->body.find('\x1b'), std::string::npos) << "control bytes are escaped";
    auto body = json::parse(a->body);
    EXPECT_EQ(body["listing"]["modes"][0]["value"], hostile);
    EXPECT_EQ(body["listing"]["modes"][2]["mode"], "../x");
    auto diff = get("/api/v1/units/scale-1/diff");
    EXPECT_EQ(diff["changes"][0]["b"], hostile);

    // Names from the request only ever look up the inventory.
    for (const char* target :
         {"/api/v1/units/..%2F..%2Fetc%2Fpasswd",
          "/api/v1/units/..%2Fstate%2Fstore%2Ftill-1/history", "/api/v1/units/%2E%2E/diff",
          "/api/v1/diff?a=../till-1&b=till-1", "/api/v1/diff?a=till-1.ini&b=till-1",
          "/api/v1/units/till-1%0A/history"}) {
        SCOPED_TRACE(target);
        auto r = tokenCall(viewer, "GET", target);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 404) << r->body;
    }
    // A damaged listing is said to be one, not half read.
    support::writeFile(store + "/till-2.ini",
                       "\n\n# ***  Current Content  ***\n\nTargetIP = x\nA = 1\rB\n");
    unitfleet::GitRun run;
    run.stems = {"till-2"};
    std::string error;
    ASSERT_TRUE(unitfleet::commitListings(store, run, error)) << error;
    auto damaged = get("/api/v1/units/till-2");
    EXPECT_NE(damaged["listing"]["error"].get<std::string>().find("damaged"), std::string::npos);
    EXPECT_TRUE(damaged["drift"].is_null());
}

TEST(Revisions, AcceptedSyntax) {
    const std::pair<const char*, bool> cases[] = {
        {"HEAD", true},        {"HEAD~3", true},
        {"HEAD^", true},       {"HEAD~1^2", true},
        {"3f2a1bc", true},     {"before-upgrade", true},
        {"release/2.1", true}, {"", false},
        {"-n", false},         {"--output=x", false},
        {".hidden", false},    {"a..b", false},
        {"HEAD@{1}", false},   {"HEAD:till-1.ini", false},
        {"x y", false},        {"x\n", false},
        {"/etc", false},       {"a//b", false},
        {"tag.lock", false},   {"HEAD~12345", false},
        {"HEAD~x", false},
    };
    for (const auto& [text, accepted] : cases)
        EXPECT_EQ(acceptableRevision(text), accepted) << text;
    EXPECT_FALSE(acceptableRevision(std::string(200, 'a')));
}

}  // namespace
}  // namespace unitfleetd::testing
