// SPDX-License-Identifier: Apache-2.0
// unit_modes: an Ansible binary module. Ansible runs it with one argument,
// the path of a JSON file of the task's arguments, and reads one JSON
// document from standard output.
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "unitfleet/unit_modes_module.h"

namespace {

constexpr const char* kUsage =
    "Usage: unit_modes ARGS_FILE   (an Ansible module: ARGS_FILE is a JSON object)\n"
    "  address  unit address (required)\n"
    "  port     the unit's configuration port (default 1283)\n"
    "  modes    mapping of mode names to values; without it the unit's modes are\n"
    "           returned as the fact unit_modes and nothing is set. Names and values\n"
    "           are data: a name with '=', CR, LF, NUL or outer blanks, or a value\n"
    "           with CR, LF or NUL, fails the task before the unit is contacted; a\n"
    "           mode the unit lacks, or a value that does not fit its type, fails\n"
    "           it before any set\n"
    "  commit   commit when every value matches after it was set and read back,\n"
    "           also when nothing needed setting (default false)\n"
    "  restart  restart after the commit (needs commit)\n"
    "  skip_unknown  skip modes the unit lacks (listed as skipped) (default false)\n"
    "  timeout  seconds the unit may take in all, fractions allowed (default 10)\n"
    "  backup_dir  save the unit's listing here before a change\n"
    "Honours check mode (nothing is set) and diff mode (the changed modes before and\n"
    "after). changed is true when a value was set, also in a failed result (then\n"
    "sent lists the modes set); a commit alone is no change.\n"
    "Exit status 0, or 1 when the result says failed.\n";

}  // namespace

int main(int argc, char** argv) {
    platform::ignoreBrokenPipes();
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    nlohmann::ordered_json result;
    if (argc != 2) {
        result = {{"failed", true}, {"msg", "unit_modes takes one argument: the arguments file"}};
    } else {
        result = unitfleet::unitModesFromFile(argv[1]);
    }
    std::string text = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
    return result.value("failed", false) ? 1 : 0;
}
