// SPDX-License-Identifier: Apache-2.0
// Who is asking: users with passwords and browser sessions, and API tokens
// for scripts. Sessions live in memory (a restart logs everyone out); the
// user's row is read again on every request, so a disabled user or a changed
// role counts at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "unitfleetd/role.h"
#include "unitfleetd/state_store.h"

namespace unitfleetd {

struct Principal {
    std::string name;
    Role role = Role::Viewer;
    bool viaToken = false;
    std::string csrf;  // the session's CSRF token; empty for a token
    std::string sessionId;
};

struct NewSession {
    std::string id;
    std::string csrf;
};

class Accounts {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kSessionLife{12};
    static constexpr std::size_t kMostSessions = 10000;

    explicit Accounts(StateStore& store);

    // Checks a password (slow on purpose: call it off the server's thread).
    // Unknown users cost the same as known ones. Thread-safe.
    std::optional<UserRecord> checkPassword(const std::string& name, const std::string& password);

    std::optional<NewSession> startSession(const std::string& name, std::string& error);
    void endSession(const std::string& id);
    void endSessionsOf(const std::string& name);
    std::optional<Principal> fromSession(const std::string& id);
    // "Bearer ufd_ID_SECRET".
    std::optional<Principal> fromToken(const std::string& token);

    bool addUser(const std::string& name, Role role, const std::string& password,
                 std::string& error);
    // The new token's text, shown once: only its hash is kept.
    std::optional<std::string> addToken(const std::string& name, Role role, std::string& error);

  private:
    struct Session {
        std::string name, csrf;
        Clock::time_point expires;
    };
    StateStore& store_;
    std::string dummyHash_;
    std::map<std::string, Session> sessions_;
};

// Names of users and tokens: 1 to 64 of letters, digits, '.', '_', '-'.
bool validAccountName(const std::string& name);
// Passwords: 10 to 1024 bytes; false with why in `error` for others.
bool passwordFits(const std::string& password, std::string& error);

}  // namespace unitfleetd
