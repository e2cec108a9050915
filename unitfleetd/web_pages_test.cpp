// SPDX-License-Identifier: Apache-2.0
// The console's pages: which paths are pages, who may open them, and that
// every page is served whole with the headers that keep it safe.
#include "unitfleetd/web_pages.h"

#include <regex>

#include "unitfleetd/api_fixture.h"
#include "unitfleetd/web_files.h"

namespace unitfleetd::testing {
namespace {

struct PathCase {
    const char* path;
    const char* file;  // "" when the path is not the console's
};

TEST(WebPages, PathsNameTheirFilesAndNothingElse) {
    const PathCase cases[] = {
        {"/", "fleet.html"},
        {"/login", "login.html"},
        {"/unit", "unit.html"},
        {"/users", "users.html"},
        {"/static/style.css", "style.css"},
        {"/static/common.js", "common.js"},
        {"/static/fleet.html", ""},  // pages only at their own paths
        {"/fleet.html", ""},
        {"/nothing", ""},
        {"/static/nothing.js", ""},
        {"/static/../api/v1/me", ""},
        {"/static/", ""},
        {"/static//style.css", ""},
        {"/unit/", ""},
        {"/api/v1/units", ""},
        {"/healthz", ""},
        {"/metrics", ""},
        {"//login", ""},
    };
    for (const auto& c : cases) {
        auto file = webFileFor(c.path);
        EXPECT_EQ(file.value_or(""), c.file) << c.path;
    }
}

// What a page or script may contain: no inline script or style (the CSP
// forbids them, so they would only break), and no markup built from text.
TEST(WebPages, NoInlineScriptStyleOrMarkupFromData) {
    ASSERT_GT(webFileCount(), 10u);
    const std::regex inlineScript(R"(<script(?![^>]*\bsrc=)[^>]*>)");
    const std::regex handlerAttribute(R"(<[^>]+\son[a-z]+\s*=)", std::regex::icase);
    const std::regex styleAttribute(R"(<[^>]+\sstyle\s*=)", std::regex::icase);
    for (std::size_t i = 0; i < webFileCount(); ++i) {
        const auto& f = webFiles()[i];
        std::string body(f.body);
        SCOPED_TRACE(std::string(f.name));
        EXPECT_NE(body.find("SPDX-License-Identifier"), std::string::npos);
        if (f.name.size() > 5 && f.name.substr(f.name.size() - 5) == ".html") {
            EXPECT_FALSE(std::regex_search(body, inlineScript));
            EXPECT_FALSE(std::regex_search(body, handlerAttribute));
            EXPECT_FALSE(std::regex_search(body, styleAttribute));
            EXPECT_EQ(body.find("<style"), std::string::npos);
        }
        for (const char* sink : {"innerHTML", "outerHTML", "insertAdjacentHTML", "document.write",
                                 "eval(", "new Function"})
            EXPECT_EQ(body.find(sink), std::string::npos) << sink;
    }
}

class Console : public DaemonFixture {};

struct AccessCase {
    const char* target;
    int signedOut;  // status without a session
    const char* type;
};

TEST_F(Console, PagesNeedASessionExceptTheSignInPage) {
    startDaemon();
    addUser("ann", Role::Viewer, "ann's long password");
    auto session = login("ann", "ann's long password");
    ASSERT_TRUE(session);
    auto token = addToken("script", Role::Admin);
    const AccessCase cases[] = {
        {"/login", 200, "text/html; charset=utf-8"},
        {"/static/style.css", 200, "text/css; charset=utf-8"},
        {"/static/login.js", 200, "text/javascript; charset=utf-8"},
        {"/static/common.js", 200, "text/javascript; charset=utf-8"},
        {"/", 303, "text/html; charset=utf-8"},
        {"/unit?name=till-1", 303, "text/html; charset=utf-8"},
        {"/users", 303, "text/html; charset=utf-8"},
        {"/static/fleet.js", 401, "text/javascript; charset=utf-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        auto out = call("GET", c.target);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->status, c.signedOut);
        if (c.signedOut == 303) {
            EXPECT_EQ(out->headers["location"], "/login");
        }
        // A token is for scripts: it opens no page.
        auto viaToken = call("GET", c.target, {"Authorization: Bearer " + token});
        EXPECT_EQ(viaToken->status, c.signedOut);
        auto in = call("GET", c.target, {"Cookie: " + session->cookie});
        ASSERT_TRUE(in);
        EXPECT_EQ(in->status, 200);
        EXPECT_EQ(in->headers["content-type"], c.type);
        auto csp = in->headers["content-security-policy"];
        EXPECT_NE(csp.find("script-src 'self'"), std::string::npos) << csp;
        EXPECT_NE(csp.find("frame-ancestors 'none'"), std::string::npos) << csp;
        EXPECT_EQ(csp.find("unsafe-inline"), std::string::npos) << csp;
        EXPECT_EQ(in->headers["x-frame-options"], "DENY");
        EXPECT_EQ(in->headers["x-content-type-options"], "nosniff");
    }
    // The API still answers 401 without a session, and pages take no other method.
    EXPECT_EQ(call("GET", "/api/v1/units")->status, 401);
    EXPECT_EQ(call("POST", "/", {"Cookie: " + session->cookie})->status, 404);
    EXPECT_EQ(call("GET", "/nothing", {"Cookie: " + session->cookie})->status, 404);
}

TEST_F(Console, FleetCountsCoverTheWholeInventory) {
    startDaemon();
    auto token = addToken("script", Role::Viewer);
    onLoop([&] {
        // Field by field: the status grows fields of its own.
        auto& fleet = daemon->fleet();
        auto& ok = fleet["till-1"];
        ok.up = ok.statusOk = true;
        ok.checked = ok.lastBackup = 1700000000;
        auto& paper = fleet["till-2"];
        paper.up = true;
        paper.checked = 1700000000;
        paper.statusText = "PAPER";
        // Backed up, never polled: not known to be up or down.
        fleet["scale-1"].lastBackup = 1700000000;
    });
    auto a = tokenCall(token, "GET", "/api/v1/fleet");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->status, 200) << a->body;
    auto counts = nlohmann::json::parse(a->body);
    auto units = static_cast<int>(daemon->inventory()->units.size());
    EXPECT_EQ(counts["units"], units);
    EXPECT_EQ(counts["up"], 2);
    EXPECT_EQ(counts["down"], 0);
    EXPECT_EQ(counts["unknown"], units - 2);
    EXPECT_EQ(counts["status_not_ok"], 1);
    EXPECT_EQ(counts["never_backed_up"], units - 2);
    EXPECT_EQ(counts["drifting"], 0);  // no baselines configured
}

}  // namespace
}  // namespace unitfleetd::testing
