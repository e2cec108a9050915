// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/user_commands.h"


#include <optional>

#include "platform/console.h"
#include "platform/echo_off.h"
#include "unitfleetd/accounts.h"
#include "unitfleetd/state_store.h"

namespace unitfleetd {
namespace {

std::optional<std::string> readLine(std::FILE* in) {
    std::string line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        if (line.size() > 4096)
            return std::nullopt;
        line += static_cast<char>(c);
    }
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::optional<std::string> askPassword(std::FILE* in, std::FILE* err, std::string& error) {
    if (!platform::isTerminal(in)) {
        auto line = readLine(in);
        if (!line)
            error = "no password on standard input";
        return line;
    }
    std::optional<std::string> first, second;
    {
        platform::EchoOff quiet(in);
        std::fprintf(err, "Password: ");
        std::fflush(err);
        first = readLine(in);
        std::fprintf(err, "\nPassword again: ");
        std::fflush(err);
        second = readLine(in);
        std::fprintf(err, "\n");
    }
    if (!first || !second || *first != *second) {
        error = "the passwords differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace

int addUserCommand(const Config& config, const std::string& name, Role role, std::FILE* in,
                   std::FILE* out, std::FILE* err) {
    std::string error;
    auto store = StateStore::open(config.stateFolder, error);
    if (!store) {
        std::fprintf(err, "unitfleetd: %s\n", error.c_str());
        return 1;
    }
    auto password = askPassword(in, err, error);
    Accounts accounts(*store);
    if (!password || !accounts.addUser(name, role, *password, error)) {
        std::fprintf(err, "unitfleetd: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "user '%s' added with role %s\n", name.c_str(), roleName(role).data());
    return 0;
}

int addTokenCommand(const Config& config, const std::string& name, Role role, std::FILE* out,
                    std::FILE* err) {
    std::string error;
    auto store = StateStore::open(config.stateFolder, error);
    if (!store) {
        std::fprintf(err, "unitfleetd: %s\n", error.c_str());
        return 1;
    }
    Accounts accounts(*store);
    auto token = accounts.addToken(name, role, error);
    if (!token) {
        std::fprintf(err, "unitfleetd: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "%s\n", token->c_str());
    std::fprintf(err,
                 "token '%s' (role %s) added; it is shown only now: give it as "
                 "\"Authorization: Bearer TOKEN\"\n",
                 name.c_str(), roleName(role).data());
    return 0;
}

}  // namespace unitfleetd
