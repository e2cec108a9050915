// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/api.h"

#include <charconv>

#include "unitfleetd/json_answer.h"
#include "unitfleetd/openapi.h"
#include "unitfleetd/web_pages.h"

namespace unitfleetd {

std::string cookieValue(const std::string& header, const std::string& name) {
    std::string_view rest = header;
    while (!rest.empty()) {
        auto semi = rest.find(';');
        auto pair = rest.substr(0, semi);
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
            pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
    }
    return {};
}

bool sameSecret(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::optional<long long> queryNumber(const HttpRequest& request, const std::string& name,
                                     long long fallback, long long least, long long most) {
    auto it = request.query.find(name);
    if (it == request.query.end())
        return fallback;
    long long value = 0;
    const auto& text = it->second;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < least || value > most)
        return std::nullopt;
    return value;
}

Api::Api(ApiContext& context) : context_(context) {
    auto& c = context_;
    router_.add("GET", "/healthz", std::nullopt, [](std::shared_ptr<Call>, Reply reply) {
        reply(jsonAnswer(200, {{"status", "ok"}}));
    });
    router_.add("GET", "/metrics",
                c.config->metricsPublic ? std::nullopt : std::optional(Role::Viewer),
                [&c](std::shared_ptr<Call>, Reply reply) {
                    c.counters.connections = c.connections();
                    c.counters.eventStreams = static_cast<int>(c.hub.subscribers());
                    c.counters.jobsByState = c.store.jobCountsByState();
                    HttpResponse r;
                    r.contentType = "text/plain; version=0.0.4; charset=utf-8";
                    r.body = renderMetrics(c.counters, c.inventory->units, c.fleet);
                    reply(std::move(r));
                });
    router_.add("GET", "/api/v1/openapi.json", Role::Viewer,
                [](std::shared_ptr<Call>, Reply reply) {
                    HttpResponse r;
                    r.body = openApiText();
                    reply(std::move(r));
                });
    addAuthRoutes(router_, c);
    addUnitRoutes(router_, c);
    addJobRoutes(router_, c);
    addUserRoutes(router_, c);
    addProbeRoutes(router_, c);
    addDetailRoutes(router_, c);
    addBaselineRoutes(router_, c);
    addFleetRoutes(router_, c);
}

void Api::handle(HttpRequest request, Reply reply) {
    auto call = std::make_shared<Call>();
    call->request = std::move(request);
    const auto& req = call->request;
    auto match = router_.match(req.method, req.path);

    // Who asks: a bearer token, else the session cookie.
    auto authorization = req.header("authorization");
    if (authorization.rfind("Bearer ", 0) == 0)
        call->principal = context_.accounts.fromToken(authorization.substr(7));
    else if (auto id = cookieValue(req.header("cookie"), kSessionCookie); !id.empty())
        call->principal = context_.accounts.fromSession(id);

    // The console's pages: outside the route table (and the OpenAPI
    // document); only a browser session opens them.
    if (req.method == "GET" && !match.pathKnown)
        if (auto file = webFileFor(req.path))
            return reply(webAnswer(*file, call->principal && !call->principal->viaToken));

    bool audited = req.changesState() && match.pathKnown;
    Reply answer = [this, call, audited, reply = std::move(reply)](HttpResponse r) {
        if (audited)
            audit(*call, r.status, r.body);
        reply(std::move(r));
    };

    bool isPublic = match.route != nullptr && !match.route->needs;
    if (!isPublic && !call->principal)
        return answer(errorAnswer(401, "log in or give a token"));
    if (match.route == nullptr)
        return answer(match.pathKnown ? errorAnswer(405, "method not allowed")
                                      : errorAnswer(404, "no such resource"));
    if (call->principal && !call->principal->viaToken && req.changesState() &&
        !sameSecret(req.header("x-csrf-token"), call->principal->csrf))
        return answer(errorAnswer(403, "missing or wrong X-CSRF-Token"));
    if (match.route->needs && !allows(call->principal->role, *match.route->needs))
        return answer(errorAnswer(
            403, "this needs the " + std::string(roleName(*match.route->needs)) + " role"));
    call->params = std::move(match.params);
    match.route->handler(call, std::move(answer));
}

void Api::audit(const Call& call, int status, const std::string& body) {
    AuditEntry e;
    e.at = nowSeconds();
    e.who = !call.auditWho.empty() ? call.auditWho : call.principal ? call.principal->name : "-";
    e.address = call.request.peer;
    e.action = call.request.method + " " + call.request.path;
    e.target = call.auditNote;
    e.outcome = std::to_string(status);
    if (status >= 400) {
        auto parsed = nlohmann::json::parse(body, nullptr, false);
        if (parsed.is_object() && parsed.contains("error") && parsed["error"].is_string())
            e.outcome += " " + parsed["error"].get<std::string>();
    }
    std::string error;
    if (!context_.store.appendAudit(e, error) && context_.log)
        std::fprintf(context_.log, "unitfleetd: cannot write the audit log: %s\n", error.c_str());
    if (context_.log) {
        nlohmann::json line = {{"who", e.who},
                               {"address", e.address},
                               {"action", e.action},
                               {"target", e.target},
                               {"outcome", e.outcome}};
        std::fprintf(context_.log, "audit: %s\n",
                     line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        std::fflush(context_.log);
    }
}

}  // namespace unitfleetd
