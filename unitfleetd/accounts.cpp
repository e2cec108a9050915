// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/accounts.h"

#include <algorithm>

#include "unitfleetd/password_hash.h"

namespace unitfleetd {
namespace {

constexpr const char* kTokenPrefix = "ufd_";

}  // namespace

bool validAccountName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

bool passwordFits(const std::string& password, std::string& error) {
    if (password.size() < 10)
        error = "a password needs at least 10 characters";
    else if (password.size() > 1024)
        error = "a password may have at most 1024 bytes";
    else
        return true;
    return false;
}

Accounts::Accounts(StateStore& store) : store_(store) {
    std::string error;
    // Checked against when the user does not exist, so that a wrong name
    // takes as long as a wrong password.
    dummyHash_ = hashSecret(randomHex(16, error).value_or("x"), HashCost::Password, error)
                     .value_or(std::string());
}

std::optional<UserRecord> Accounts::checkPassword(const std::string& name,
                                                  const std::string& password) {
    auto user = store_.user(name);
    bool match = verifySecret(password, user ? user->hash : dummyHash_);
    if (!user || !match || user->disabled)
        return std::nullopt;
    return user;
}

std::optional<NewSession> Accounts::startSession(const std::string& name, std::string& error) {
    auto id = randomHex(32, error);
    auto csrf = randomHex(32, error);
    if (!id || !csrf)
        return std::nullopt;
    auto now = Clock::now();
    std::erase_if(sessions_, [&](const auto& s) { return s.second.expires <= now; });
    if (sessions_.size() >= kMostSessions) {
        auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](auto& a, auto& b) {
            return a.second.expires < b.second.expires;
        });
        sessions_.erase(oldest);
    }
    sessions_[*id] = Session{name, *csrf, now + kSessionLife};
    return NewSession{*id, *csrf};
}

void Accounts::endSession(const std::string& id) {
    sessions_.erase(id);
}

void Accounts::endSessionsOf(const std::string& name) {
    std::erase_if(sessions_, [&](const auto& s) { return s.second.name == name; });
}

std::optional<Principal> Accounts::fromSession(const std::string& id) {
    auto it = sessions_.find(id);
    if (it == sessions_.end())
        return std::nullopt;
    if (it->second.expires <= Clock::now()) {
        sessions_.erase(it);
        return std::nullopt;
    }
    auto user = store_.user(it->second.name);
    if (!user || user->disabled)
        return std::nullopt;
    return Principal{user->name, user->role, false, it->second.csrf, id};
}

std::optional<Principal> Accounts::fromToken(const std::string& token) {
    if (token.rfind(kTokenPrefix, 0) != 0)
        return std::nullopt;
    auto rest = token.substr(4);
    auto underscore = rest.find('_');
    if (underscore == std::string::npos || underscore == 0 || underscore > 18)
        return std::nullopt;
    std::int64_t id = 0;
    for (char c : rest.substr(0, underscore)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        id = id * 10 + (c - '0');
    }
    auto record = store_.token(id);
    if (!record || record->revoked || !verifySecret(rest.substr(underscore + 1), record->hash))
        return std::nullopt;
    return Principal{record->name, record->role, true, "", ""};
}

bool Accounts::addUser(const std::string& name, Role role, const std::string& password,
                       std::string& error) {
    if (!validAccountName(name)) {
        error = "invalid user name '" + name + "' (1 to 64 letters, digits, '.', '_', '-')";
        return false;
    }
    if (!passwordFits(password, error))
        return false;
    auto hash = hashSecret(password, HashCost::Password, error);
    return hash && store_.addUser(UserRecord{name, role, *hash, false, 0}, error);
}

std::optional<std::string> Accounts::addToken(const std::string& name, Role role,
                                              std::string& error) {
    if (!validAccountName(name)) {
        error = "invalid token name '" + name + "' (1 to 64 letters, digits, '.', '_', '-')";
        return std::nullopt;
    }
    auto secret = randomHex(32, error);
    if (!secret)
        return std::nullopt;
    auto hash = hashSecret(*secret, HashCost::Token, error);
    if (!hash)
        return std::nullopt;
    auto id = store_.addToken(TokenRecord{0, name, role, *hash, false}, error);
    if (!id)
        return std::nullopt;
    return kTokenPrefix + std::to_string(*id) + "_" + *secret;
}

}  // namespace unitfleetd
