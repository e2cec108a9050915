// unit_modes: an Ansible binary module. Ansible runs it with one argument,
// the path of a JSON file of the task's arguments, and reads one JSON
// document from standard output.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "unitfleet/unit_modes_module.h"

namespace {

constexpr const char* kUsage =
    "Usage: unit_modes ARGS_FILE   (an Ansible module: ARGS_FILE is a JSON object)\n"
    "  address  unit address (required)\n"
    "  modes    mapping of mode names to values; without it the unit's modes are\n"
    "           returned as the fact unit_modes and nothing is set\n"
    "  commit   commit after every value was set and read back (default false)\n"
    "  restart  restart after the commit (needs commit)\n"
    "  timeout  seconds the unit may take in all (default 10)\n"
    "  backup_dir  save the unit's listing here before a change\n"
    "Honours check mode (nothing is set) and diff mode (the changed modes before and\n"
    "after). Exit status 0, or 1 when the result says failed.\n";

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
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
