// SPDX-License-Identifier: Apache-2.0
// `unitfleetd user add NAME --role R` and `unitfleetd token add NAME --role R`:
// accounts written straight into the state file, for the first admin and for
// scripts.
#pragma once

#include <cstdio>
#include <string>

#include "unitfleetd/config.h"
#include "unitfleetd/role.h"

namespace unitfleetd {

// The password comes from `in`: when it is a terminal, asked twice without
// echo; otherwise its first line. Returns the exit status.
int addUserCommand(const Config& config, const std::string& name, Role role, std::FILE* in,
                   std::FILE* out, std::FILE* err);
// Prints the new token once on `out`. Returns the exit status.
int addTokenCommand(const Config& config, const std::string& name, Role role, std::FILE* out,
                    std::FILE* err);

}  // namespace unitfleetd
