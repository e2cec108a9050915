// SPDX-License-Identifier: Apache-2.0
// Logging in and out, and who am I.
#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {
namespace {

std::string sessionCookie(const std::string& value, bool tls, bool clear) {
    std::string c = std::string(kSessionCookie) + "=" + value +
                    "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" +
                    (clear ? "0" : std::to_string(Accounts::kSessionLife.count() * 3600));
    if (tls)
        c += "; Secure";
    return c;
}

void login(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    auto name = body->value("user", std::string());
    auto password = body->value("password", std::string());
    if (!(*body)["user"].is_string() || !(*body)["password"].is_string() || name.empty())
        return reply(errorAnswer(400, "give \"user\" and \"password\" as strings"));
    call->auditWho = validAccountName(name) ? name : "-";
    call->auditNote = "login";
    const auto& peer = call->request.peer;
    auto now = LoginLimiter::Clock::now();
    // Refused before the password is looked at: guessing gains nothing.
    if (!c.limiter.allowed(peer, name, now)) {
        auto r = errorAnswer(429, "too many failed logins; try again in a minute");
        r.headers.emplace_back("Retry-After", "60");
        return reply(std::move(r));
    }
    // Counted as a failure until it proves otherwise, so that attempts in
    // flight at once cannot pass the limit together.
    c.limiter.failed(peer, name, now);
    auto user = std::make_shared<std::optional<UserRecord>>();
    c.offload([&c, name, password, user] { *user = c.accounts.checkPassword(name, password); },
              [&c, call, reply, user, name, peer, now] {
                  if (!*user)
                      return reply(errorAnswer(401, "wrong user name or password"));
                  c.limiter.forgive(peer, name, now);
                  std::string error;
                  auto session = c.accounts.startSession(name, error);
                  if (!session)
                      return reply(errorAnswer(500, error));
                  auto r = jsonAnswer(
                      200,
                      {{"user", name}, {"role", roleName((*user)->role)}, {"csrf", session->csrf}});
                  r.headers.emplace_back("Set-Cookie",
                                         sessionCookie(session->id, call->request.tls, false));
                  reply(std::move(r));
              });
}

}  // namespace

void addAuthRoutes(Router& router, ApiContext& c) {
    router.add("POST", "/api/v1/login", std::nullopt,
               [&c](std::shared_ptr<Call> call, Reply reply) { login(c, call, std::move(reply)); });
    router.add("POST", "/api/v1/logout", Role::Viewer,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   if (!call->principal->sessionId.empty())
                       c.accounts.endSession(call->principal->sessionId);
                   auto r = jsonAnswer(200, {{"logged_out", true}});
                   r.headers.emplace_back("Set-Cookie", sessionCookie("", call->request.tls, true));
                   reply(std::move(r));
               });
    router.add("GET", "/api/v1/me", Role::Viewer, [](std::shared_ptr<Call> call, Reply reply) {
        const auto& p = *call->principal;
        nlohmann::json me = {{"user", p.name}, {"role", roleName(p.role)}, {"token", p.viaToken}};
        if (!p.viaToken)
            me["csrf"] = p.csrf;
        reply(jsonAnswer(200, me));
    });
}

}  // namespace unitfleetd
