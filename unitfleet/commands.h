// The three commands from settled options to the exit status: 0 every unit
// done, 1 some units failed, 2 a usage or input error (nothing was sent).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "unitfleet/unit_work.h"

namespace unitfleet {

inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitInputError = 2;

struct Settings {
    Command command = Command::Backup;
    std::string inventory;
    std::string ini;        // diff, apply
    std::string dir;        // backup: the folder for the listings
    std::string backupDir;  // apply: empty = unitfleet-backup-YYYYMMDD-HHMMSS
    std::string retryFile;  // empty: DIR/retry.inventory (backup, apply), none (diff)
    std::vector<std::string> groups;
    int jobs = 32;
    double timeoutSeconds = 10;
    bool json = false;
    bool commit = false;
    bool restart = false;
    bool git = false;  // backup: DIR, apply: backupDir is a git repository of the listings
    std::vector<std::string> volatileModes;  // with git: besides DateTime
};

struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;  // err is a terminal: show a progress line
};

int runCommand(const Settings& settings, Streams streams);

}  // namespace unitfleet
