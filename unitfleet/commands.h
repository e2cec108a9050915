// SPDX-License-Identifier: Apache-2.0
// The four unit commands from settled options to the exit status: 0 every unit
// done, 1 some units failed, 2 a usage or input error (nothing was sent).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/run_control.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitInputError = 2;
// A rollout passed its failure ceiling and stopped before its last batch.
inline constexpr int kExitRolloutStopped = 3;
// A stop signal cut the run short: 128 + its number (130 SIGINT, 143 SIGTERM).
inline constexpr int kExitSignalBase = 128;

// What backup, diff, apply and restore share: the units and how they are
// worked on.
struct UnitRunOptions {
    std::string inventory;
    std::vector<std::string> groups;
    int jobs = 32;
    double timeoutSeconds = 10;
    bool json = false;
    std::string
        retryFile;  // empty: BACKUPDIR/retry.inventory (backup, apply, restore), none (diff)
    // A service that holds the inventory already: these units instead of the
    // file's (`inventory` still names the run in its reports). `someUnits`:
    // they are part of the inventory, so the retry file is named after the run.
    std::optional<std::vector<InventoryUnit>> units;
    bool someUnits = false;
    const RunControl* control = nullptr;  // a service's run; none: the command line's
};

// apply and restore: the change goes out in batches with a failure ceiling.
struct RolloutOptions {
    std::string batch;    // "N" or "N%" units a batch; empty: one batch
    std::string maxFail;  // "N" or "N%" of the units; empty: no ceiling
    int canary = 0;       // the first batch's own size
};

struct BackupOptions {
    UnitRunOptions run;
    std::string dir;                         // the folder for the listings
    bool git = false;                        // keep `dir` as a git repository of the listings
    std::vector<std::string> volatileModes;  // with git: besides DateTime
};

struct DiffOptions {
    UnitRunOptions run;
    std::string ini;
    bool skipUnknown = false;  // skip modes a unit lacks, and say so
};

struct ApplyOptions {
    UnitRunOptions run;
    std::string ini;
    std::optional<std::string> iniText;  // the settings themselves; `ini` then only names them
    bool commit = false;
    bool restart = false;
    std::string backupDir;  // empty: unitfleet-backup-YYYYMMDD-HHMMSS
    std::string gitDir;     // instead of backupDir: a git repository of the listings
    std::vector<std::string> volatileModes;  // with gitDir: besides DateTime
    bool skipUnknown = false;
    RolloutOptions rollout;
};

struct RestoreOptions {
    UnitRunOptions run;
    std::string source;  // DIR or DIR@REV
    bool commit = false;
    bool restart = false;
    std::string backupDir;  // empty: unitfleet-backup-YYYYMMDD-HHMMSS
    bool skipUnknown = false;
    bool force = false;  // listings saved from another address, or naming none of the unit's modes
    RolloutOptions rollout;
};

struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;  // err is a terminal: show a progress line
};

int runBackup(const BackupOptions& options, Streams streams);
int runDiff(const DiffOptions& options, Streams streams);
int runApply(const ApplyOptions& options, Streams streams);
int runRestore(const RestoreOptions& options, Streams streams);

// -j as far as the descriptor limit allows: the soft limit is raised to the
// hard one if need be, and -j lowered (the user told on `err`) if even that
// is too few, rather than failing units for want of a descriptor.
int workersWithinLimit(int jobs, std::FILE* err);

// The units of an inventory file in the groups given (all without groups);
// nothing, after printing every fault on `err`, when it cannot be used.
std::optional<std::vector<InventoryUnit>> loadInventory(const std::string& path,
                                                        const std::vector<std::string>& groups,
                                                        std::FILE* err);

}  // namespace unitfleet
