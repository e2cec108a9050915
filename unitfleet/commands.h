// The three commands from settled options to the exit status: 0 every unit
// done, 1 some units failed, 2 a usage or input error (nothing was sent).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/unit_work.h"

namespace unitfleet {

inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitInputError = 2;
// A rollout passed its failure ceiling and stopped before its last batch.
inline constexpr int kExitRolloutStopped = 3;

struct Settings {
    Command command = Command::Backup;
    std::string inventory;
    std::string ini;        // diff, apply
    std::string dir;        // backup: the folder for the listings; restore: the listings' source
    std::string backupDir;  // apply: empty = unitfleet-backup-YYYYMMDD-HHMMSS
    std::string retryFile;  // empty: DIR/retry.inventory (backup, apply), none (diff)
    std::vector<std::string> groups;
    int jobs = 32;
    double timeoutSeconds = 10;
    bool json = false;
    bool commit = false;
    bool restart = false;
    std::string batch;    // apply, restore: "N" or "N%" units a batch; empty: one batch
    std::string maxFail;  // "N" or "N%" of the units; empty: no ceiling
    int canary = 0;       // the first batch's own size
    bool git = false;  // backup: DIR, apply: backupDir is a git repository of the listings
    std::vector<std::string> volatileModes;  // with git: besides DateTime
};

struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;  // err is a terminal: show a progress line
};

int runCommand(const Settings& settings, Streams streams);

// The units of an inventory file in the groups given (all without groups);
// nothing, after printing every fault on `err`, when it cannot be used.
std::optional<std::vector<InventoryUnit>> loadInventory(const std::string& path,
                                                        const std::vector<std::string>& groups,
                                                        std::FILE* err);

}  // namespace unitfleet
