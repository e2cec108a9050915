// SPDX-License-Identifier: Apache-2.0
// unitfleetd: the fleet as a service. This file only reads the command line.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "unitfleetd/config.h"
#include "unitfleetd/daemon.h"
#include "unitfleetd/user_commands.h"

namespace {

std::optional<unitfleetd::Config> configOrSay(const std::string& path) {
    std::vector<std::string> errors;
    auto config = unitfleetd::loadConfig(path, errors);
    for (const auto& e : errors) std::fprintf(stderr, "unitfleetd: %s\n", e.c_str());
    return config;
}

int serve(const std::string& path, bool insecure) {
    auto config = configOrSay(path);
    if (!config)
        return 2;
    if (insecure)
        config->insecure = true;
    std::vector<std::string> errors;
    auto daemon = unitfleetd::Daemon::create(std::move(*config), stderr, errors);
    for (const auto& e : errors) std::fprintf(stderr, "unitfleetd: %s\n", e.c_str());
    if (!daemon)
        return 1;
    std::string error;
    if (!daemon->listen(error)) {
        std::fprintf(stderr, "unitfleetd: %s\n", error.c_str());
        return 1;
    }
    daemon->handleSignals();
    daemon->startSchedules();
    daemon->run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"unitfleetd: the fleet of units as a service (REST API, metrics, jobs)"};
    app.set_version_flag("--version", "unitfleetd " UNITSUITE_VERSION);
    std::string configPath = unitfleetd::kDefaultConfigPath;
    bool insecure = false;
    app.add_option("--config", configPath, "Configuration file")->capture_default_str();
    app.add_flag("--insecure", insecure,
                 "Allow plain HTTP on a non-loopback listen address (warned at every start)");

    auto* user = app.add_subcommand("user", "Manage users");
    auto* userAdd = user->add_subcommand("add",
                                         "Add a user; the password is read from the "
                                         "terminal (twice) or from standard input");
    user->require_subcommand(1);
    auto* token = app.add_subcommand("token", "Manage API tokens");
    auto* tokenAdd = token->add_subcommand("add", "Add an API token and print it once");
    token->require_subcommand(1);
    std::string name, roleText;
    for (auto* add : {userAdd, tokenAdd}) {
        add->add_option("NAME", name, "Name")->required();
        add->add_option("--role", roleText, "viewer, operator or admin")
            ->required()
            ->check(CLI::IsMember({"viewer", "operator", "admin"}));
    }
    CLI11_PARSE(app, argc, argv);

    if (userAdd->parsed() || tokenAdd->parsed()) {
        auto config = configOrSay(configPath);
        if (!config)
            return 2;
        auto role = *unitfleetd::parseRole(roleText);
        return userAdd->parsed()
                   ? unitfleetd::addUserCommand(*config, name, role, stdin, stdout, stderr)
                   : unitfleetd::addTokenCommand(*config, name, role, stdout, stderr);
    }
    return serve(configPath, insecure);
}
