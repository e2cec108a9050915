// SPDX-License-Identifier: Apache-2.0
// Accounts (admin only) and the audit log.
#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"
#include "unitfleetd/password_hash.h"

namespace unitfleetd {
namespace {

using nlohmann::json;

json userJson(const UserRecord& u) {
    return {{"name", u.name},
            {"role", roleName(u.role)},
            {"disabled", u.disabled},
            {"created", u.created}};
}

// Hashes `password` off the server's thread, then calls `done` with the
// hash (empty when hashing failed) back on it.
void hashThen(ApiContext& c, const std::string& password,
              std::function<void(const std::string& hash)> done) {
    auto hash = std::make_shared<std::string>();
    c.offload(
        [password, hash] {
            std::string error;
            *hash = hashSecret(password, HashCost::Password, error).value_or("");
        },
        [hash, done] { done(*hash); });
}

void addUser(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    auto name = body->value("name", std::string());
    auto role = parseRole(body->value("role", std::string()));
    auto password = body->value("password", std::string());
    if (!validAccountName(name))
        return reply(errorAnswer(400, "name: 1 to 64 letters, digits, '.', '_', '-'"));
    call->auditNote = "user " + name;
    if (!role)
        return reply(errorAnswer(400, "role must be viewer, operator or admin"));
    if (std::string fault; !passwordFits(password, fault))
        return reply(errorAnswer(400, fault));
    if (c.store.user(name))
        return reply(errorAnswer(409, "user '" + name + "' exists"));
    hashThen(c, password, [&c, name, role, reply](const std::string& hash) {
        std::string error;
        if (hash.empty() || !c.store.addUser(UserRecord{name, *role, hash, false, 0}, error))
            return reply(
                errorAnswer(hash.empty() ? 500 : 409, hash.empty() ? "cannot hash" : error));
        reply(jsonAnswer(201, userJson(*c.store.user(name))));
    });
}

void changeUser(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    const auto& name = call->params["name"];
    call->auditNote = "user " + name;
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    auto user = c.store.user(name);
    if (!user)
        return reply(errorAnswer(404, "no user '" + name + "'"));
    for (const auto& [key, value] : body->items()) {
        if (key == "role") {
            auto role = value.is_string() ? parseRole(value.get<std::string>()) : std::nullopt;
            if (!role)
                return reply(errorAnswer(400, "role must be viewer, operator or admin"));
            user->role = *role;
        } else if (key == "disabled") {
            if (!value.is_boolean())
                return reply(errorAnswer(400, "disabled must be true or false"));
            user->disabled = value.get<bool>();
        } else {
            return reply(errorAnswer(400, "unknown field '" + key + "' (role, disabled)"));
        }
    }
    if (!c.store.updateUser(*user, error))
        return reply(errorAnswer(500, error));
    if (user->disabled)
        c.accounts.endSessionsOf(name);
    reply(jsonAnswer(200, userJson(*user)));
}

void resetPassword(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    const auto& name = call->params["name"];
    call->auditNote = "user " + name;
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    auto password = body->value("password", std::string());
    if (!c.store.user(name))
        return reply(errorAnswer(404, "no user '" + name + "'"));
    if (std::string fault; !passwordFits(password, fault))
        return reply(errorAnswer(400, fault));
    hashThen(c, password, [&c, name, reply](const std::string& hash) {
        auto user = c.store.user(name);
        std::string error;
        if (!user)
            return reply(errorAnswer(404, "no user '" + name + "'"));
        user->hash = hash;
        if (hash.empty() || !c.store.updateUser(*user, error))
            return reply(errorAnswer(500, hash.empty() ? "cannot hash" : error));
        // Whoever held the old password is logged out.
        c.accounts.endSessionsOf(name);
        reply(jsonAnswer(200, userJson(*user)));
    });
}

}  // namespace

void addUserRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/users", Role::Admin, [&c](std::shared_ptr<Call>, Reply reply) {
        json list = json::array();
        for (const auto& u : c.store.users()) list.push_back(userJson(u));
        reply(jsonAnswer(200, {{"users", list}}));
    });
    router.add("POST", "/api/v1/users", Role::Admin, [&c](std::shared_ptr<Call> call, Reply reply) {
        addUser(c, call, std::move(reply));
    });
    router.add(
        "PATCH", "/api/v1/users/{name}", Role::Admin,
        [&c](std::shared_ptr<Call> call, Reply reply) { changeUser(c, call, std::move(reply)); });
    router.add("POST", "/api/v1/users/{name}/password", Role::Admin,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   resetPassword(c, call, std::move(reply));
               });
    router.add("POST", "/api/v1/users/{name}/revoke-tokens", Role::Admin,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   const auto& name = call->params["name"];
                   call->auditNote = "tokens of " + name;
                   std::string error;
                   int n = c.store.revokeTokens(name, error);
                   if (n < 0)
                       return reply(errorAnswer(500, error));
                   reply(jsonAnswer(200, {{"name", name}, {"revoked", n}}));
               });
    router.add("GET", "/api/v1/audit", Role::Admin, [&c](std::shared_ptr<Call> call, Reply reply) {
        auto limit = queryNumber(call->request, "limit", 100, 1, 1000);
        auto before = queryNumber(call->request, "before", INT64_MAX, 1, INT64_MAX);
        if (!limit || !before)
            return reply(errorAnswer(400, "limit (1 to 1000) and before must be whole numbers"));
        json list = json::array();
        for (const auto& e : c.store.audit(static_cast<int>(*limit), *before))
            list.push_back({{"id", e.id},
                            {"at", e.at},
                            {"who", e.who},
                            {"address", e.address},
                            {"action", e.action},
                            {"target", e.target},
                            {"outcome", e.outcome}});
        reply(jsonAnswer(200, {{"entries", list}}));
    });
}

}  // namespace unitfleetd
