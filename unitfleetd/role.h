// SPDX-License-Identifier: Apache-2.0
// The three roles, each allowed what the one below it is and more:
// viewer reads, operator also runs jobs, admin also manages accounts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace unitfleetd {

enum class Role { Viewer = 1, Operator = 2, Admin = 3 };

inline std::string_view roleName(Role role) {
    switch (role) {
        case Role::Viewer:
            return "viewer";
        case Role::Operator:
            return "operator";
        case Role::Admin:
            return "admin";
    }
    return "viewer";
}

inline std::optional<Role> parseRole(std::string_view text) {
    for (Role r : {Role::Viewer, Role::Operator, Role::Admin})
        if (text == roleName(r))
            return r;
    return std::nullopt;
}

inline bool allows(Role held, Role needed) {
    return static_cast<int>(held) >= static_cast<int>(needed);
}

}  // namespace unitfleetd
