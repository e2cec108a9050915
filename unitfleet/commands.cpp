// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/descriptor_limit.h"
#include "platform/stop_signals.h"
#include "platform/atomic_file.h"
#include "platform/console.h"
#include "unitfleet/git_run.h"
#include "unitfleet/git_store.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/report.h"
#include "unitfleet/restore.h"
#include "unitfleet/rollout.h"

namespace unitfleet {

namespace {

namespace fs = std::filesystem;

// Each worker may hold a socket and a file being written; the rest is for
// standard streams, the inventory and the reports.
constexpr std::size_t kDescriptorsPerWorker = 2;
constexpr std::size_t kSpareDescriptors = 16;

int inputError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "unitfleet: %s\n", message.c_str());
    std::fflush(err);
    return kExitInputError;
}

// Prints every fault; true when there was any.
bool reportFaults(std::FILE* err, const std::vector<std::string>& faults) {
    for (const std::string& fault : faults) std::fprintf(err, "%s\n", fault.c_str());
    std::fflush(err);
    return !faults.empty();
}

std::string localTime(const char* format) {
    std::tm parts = platform::localTimeNow();
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

// A new folder named after the current time; a second run within the same
// second gets a suffix rather than mixing its files with the first run's.
std::optional<std::string> makeTimestampedDir(std::string& error) {
    std::string base = "unitfleet-backup-" + localTime("%Y%m%d-%H%M%S");
    for (int n = 1; n < 100; ++n) {
        std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        std::error_code ec;
        if (fs::create_directory(name, ec))
            return name;
        if (ec) {
            error = "cannot create " + name + ": " + ec.message();
            return std::nullopt;
        }
    }
    error = "cannot find a free name for the backup folder " + base;
    return std::nullopt;
}

// Both name one existing file, however they are spelled.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

std::string runHeading(Command command, const UnitRunOptions& options) {
    std::string heading = "units that failed in: unitfleet " + std::string(commandName(command)) +
                          " " + options.inventory;
    for (const std::string& group : options.groups) heading += " -g " + group;
    return heading + ", " + localTime("%Y-%m-%d %H:%M:%S");
}

bool ensureDir(const std::string& dir, std::string& error) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!ec && fs::is_directory(dir, ec))
        return true;
    error = "cannot use folder " + dir + (ec ? ": " + ec.message() : ": not a folder");
    return false;
}

// One run of backup, diff, apply or restore as each command settles it:
// everything the shared part below needs, checked before any unit is
// contacted.
struct UnitRun {
    Command command = Command::Backup;
    const UnitRunOptions* options = nullptr;
    std::vector<InventoryUnit> units;
    WorkSettings work;                   // its timeout and backupDir are filled in by runUnits
    std::vector<RestoreTarget> targets;  // restore: per unit
    std::string backupDir;               // empty: none (diff)
    RolloutPlan plan;
    bool git = false;  // backupDir is a git repository of the listings
    std::vector<std::string> volatileModes;
};

// The batches and the ceiling of apply and restore; nothing after telling
// the user what is wrong with them.
std::optional<RolloutPlan> rolloutPlan(const RolloutOptions& options, std::FILE* err) {
    RolloutPlan plan;
    plan.canary = static_cast<std::size_t>(std::max(options.canary, 0));
    auto share = [&](const std::string& text, const char* option, std::optional<Share>& into,
                     long least) {
        if (text.empty())
            return true;
        into = parseShare(text);
        if (into && into->value >= least)
            return true;
        inputError(err, std::string(option) + " takes N or N% (" + std::to_string(least) +
                            " or more units, or a share of them), not '" + text + "'");
        return false;
    };
    if (!share(options.batch, "--batch", plan.batch, 1) ||
        !share(options.maxFail, "--max-fail", plan.maxFail, 0))
        return std::nullopt;
    if (plan.maxFail && !plan.batch && plan.canary == 0) {
        inputError(err, "--max-fail needs --batch or --canary: it is checked after each batch");
        return std::nullopt;
    }
    return plan;
}

// The inventory's units in the groups asked for, with a retry file that is
// not the inventory itself.
bool loadUnits(Command command, const UnitRunOptions& options, UnitRun& run, std::FILE* err) {
    run.command = command;
    run.options = &options;
    if (!options.retryFile.empty() && sameFile(options.retryFile, options.inventory)) {
        inputError(err, "--retry " + options.retryFile +
                            " is the inventory itself; name another file (the inventory is "
                            "never written)");
        return false;
    }
    if (options.units) {
        if (options.units->empty()) {
            inputError(err, "the run has no units");
            return false;
        }
        run.units = *options.units;
        return true;
    }
    std::optional<std::vector<InventoryUnit>> units =
        loadInventory(options.inventory, options.groups, err);
    if (!units)
        return false;
    run.units = std::move(*units);
    return true;
}

// diff, apply: the ini file's settings (or `text`, named `path`), checked as data.
std::optional<std::vector<ModeSetting>> iniModes(const std::string& path, std::FILE* err,
                                                 const std::optional<std::string>& text = {}) {
    std::optional<std::string> ini = text ? text : readTextFile(path);
    if (!ini) {
        inputError(err, "cannot read ini file " + path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    // The mode tools read an ini file up to its first zero byte.
    std::vector<ModeSetting> settings =
        iniSettings(std::string_view(*ini).substr(0, ini->find('\0')));
    if (reportFaults(err, checkSettings(settings, path))) {
        inputError(err, path + " has faults; no unit was contacted");
        return std::nullopt;
    }
    return settings;
}

// restore: every unit's saved listing, read and checked, and a backup folder
// that is not the source it restores from.
bool loadRestoreTargets(const RestoreOptions& options, UnitRun& run, std::FILE* err) {
    std::string error, sourceDir;
    std::optional<ListingSource> source = listingSourceFor(options.source, sourceDir, error);
    if (!source) {
        inputError(err, error);
        return false;
    }
    std::error_code ec;
    if (!options.backupDir.empty() &&
        (fs::equivalent(sourceDir, options.backupDir, ec) ||
         fs::weakly_canonical(sourceDir, ec) == fs::weakly_canonical(options.backupDir, ec))) {
        inputError(err, "--backup-dir must not be the folder restored from");
        return false;
    }
    run.targets = loadTargets(run.units, *source, options.force);
    return true;
}

// The folder the listings go to, made now that every check passed: the one
// given, else a new one named after the current time. A git store's branch
// is checked first, so a refused run leaves no folder.
bool makeBackupDir(const std::string& given, UnitRun& run, std::FILE* err) {
    std::string error;
    if (run.git && !checkStoreBranch(given, error)) {
        inputError(err, error);
        return false;
    }
    if (!given.empty()) {
        run.backupDir = given;
        if (ensureDir(given, error))
            return true;
    } else if (auto dir = makeTimestampedDir(error)) {
        run.backupDir = *dir;
        return true;
    }
    inputError(err, error);
    return false;
}

// A restart drops every value that was not committed, so without a commit it
// would quietly undo the whole run.
bool restartNeedsCommit(bool commit, bool restart, std::FILE* err) {
    if (!restart || commit)
        return true;
    inputError(err, "--restart needs --commit: a restart drops uncommitted values");
    return false;
}

// Where the failed units go. `--retry FILE` is replaced as a whole. Without
// it DIR/retry.inventory holds the failures of the last run over a whole
// inventory; a run over some groups, or one that reads DIR/retry.inventory
// itself, writes a new file named after the run instead, so no unit another
// run left to retry is lost.
struct RetryPlan {
    std::string path;  // empty: no retry file at all (diff without --retry)
    bool namedAfterRun = false;
};

RetryPlan retryPlan(Command command, const UnitRunOptions& options, const std::string& backupDir) {
    if (!options.retryFile.empty() || backupDir.empty())
        return {options.retryFile, false};
    std::string shared = pathInFolder(backupDir, "retry.inventory");
    if (options.groups.empty() && !options.someUnits && !sameFile(shared, options.inventory))
        return {shared, false};
    return {pathInFolder(backupDir, "retry-" + std::string(commandName(command)) + "-" +
                                         localTime("%Y%m%d-%H%M%S")),
            true};
}

// Writes the retry file; its path, or empty after telling the user why not.
std::string writeRetryFile(const RetryPlan& plan, const std::string& content, std::FILE* err) {
    std::string error;
    if (!plan.namedAfterRun) {
        if (platform::writeFileAtomically(plan.path, content, false, error))
            return plan.path;
    } else {
        // A second run within the same second gets a suffix.
        for (int n = 1; n < 100; ++n) {
            std::string path = plan.path + (n == 1 ? "" : "-" + std::to_string(n)) + ".inventory";
            if (platform::writeNewFile(path, content, error))
                return path;
            if (errno != EEXIST)
                break;
        }
    }
    std::fprintf(err, "unitfleet: cannot write the retry file: %s\n", error.c_str());
    return {};
}

// After a run with no failures: the retry file an earlier run left where this
// one would have written its own lists units that are done now, so it goes.
std::string removeStaleRetryFile(const RetryPlan& plan, const UnitRunOptions& options) {
    std::error_code ec;
    if (plan.path.empty() || plan.namedAfterRun || sameFile(plan.path, options.inventory) ||
        !fs::is_regular_file(fs::symlink_status(plan.path, ec)))
        return {};
    return fs::remove(plan.path, ec) ? plan.path : std::string();
}

// The report beside the backups, so a run whose output went nowhere (a
// closed pipe, a lost terminal) still leaves its record.
std::string reportPath(const UnitRunOptions& options, const std::string& backupDir) {
    if (backupDir.empty())
        return {};
    return pathInFolder(backupDir, options.json ? "report.json" : "report.txt");
}

}  // namespace

int workersWithinLimit(int jobs, std::FILE* err) {
    std::size_t wanted = static_cast<std::size_t>(jobs) * kDescriptorsPerWorker + kSpareDescriptors;
    std::size_t limit = platform::raiseDescriptorLimit(wanted);
    if (limit >= wanted)
        return jobs;
    std::size_t fit = limit > kSpareDescriptors + kDescriptorsPerWorker
                          ? (limit - kSpareDescriptors) / kDescriptorsPerWorker
                          : 1;
    std::fprintf(err, "unitfleet: only %zu descriptors may be open; -j lowered from %d to %zu\n",
                 limit, jobs, fit);
    std::fflush(err);
    return static_cast<int>(fit);
}

std::optional<std::vector<InventoryUnit>> loadInventory(const std::string& path,
                                                        const std::vector<std::string>& groups,
                                                        std::FILE* err) {
    std::optional<std::string> text = readTextFile(path);
    if (!text) {
        inputError(err, "cannot read inventory " + path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    Inventory inventory = parseInventory(*text, path);
    if (reportFaults(err, inventory.errors)) {
        inputError(err, path + " has faults; no unit was contacted");
        return std::nullopt;
    }
    std::vector<InventoryUnit> units = selectGroups(inventory.units, groups);
    if (units.empty()) {
        inputError(err, groups.empty() ? path + " lists no units"
                                       : "no unit of " + path + " is in the groups given");
        return std::nullopt;
    }
    return units;
}

namespace {

// The part every unit command shares, once its own checks passed: the units
// worked on (in batches for a rollout), the report, the retry file and, with
// git, the record.
int runUnits(UnitRun& run, Streams streams) {
    const UnitRunOptions& options = *run.options;
    int jobs = workersWithinLimit(options.jobs, streams.err);
    WorkSettings& work = run.work;
    work.timeout = std::chrono::milliseconds(static_cast<long long>(options.timeoutSeconds * 1000));
    work.backupDir = run.backupDir;
    work.durable = run.command == Command::Apply || run.command == Command::Restore;
    work.targets = &run.targets;
    const RunControl* control = options.control;
    work.control = control;

    // From here a stop signal ends the run in order: no new unit starts, the
    // record is written, and the exit status says which signal it was. A
    // service's run has its own stop and leaves the process's signals alone.
    if (control == nullptr)
        platform::catchStopSignals();
    Progress progress(streams.err, streams.terminal, run.units);
    if (run.plan.batch || run.plan.canary > 0)
        progress.setBatches(batchSizes(run.units.size(), run.plan));
    auto recordStart = std::chrono::steady_clock::now();
    std::vector<bool> told(run.units.size(), false);
    Rollout rollout = runRollout(run.command, run.units, work, jobs, run.plan,
                                 [&](std::size_t i, const UnitResult& r) {
                                     progress.finished(i, r);
                                     told[i] = true;
                                     if (control != nullptr && control->finished)
                                         control->finished(i, r);
                                 });
    progress.end();
    // The units a ceiling or a stop left out are done with too.
    for (std::size_t i = 0; i < told.size(); ++i)
        if (!told[i] && control != nullptr && control->finished)
            control->finished(i, rollout.results[i]);
    recordStart = std::chrono::steady_clock::now();
    std::vector<UnitResult>& results = rollout.results;

    RunSummary summary;
    summary.command = run.command;
    summary.backupDir = run.backupDir;
    summary.rollout = stopText(rollout);
    summary.signal = rollout.signal;
    summary.stopRequested = rollout.stopRequested;
    bool anyFailed = false;
    for (const UnitResult& r : results) anyFailed = anyFailed || isFailure(r.outcome);
    RetryPlan plan = retryPlan(run.command, options, run.backupDir);
    if (anyFailed && !plan.path.empty()) {
        summary.retryFile = writeRetryFile(
            plan, retryInventory(run.units, results, runHeading(run.command, options)),
            streams.err);
    } else if (!anyFailed && !plan.path.empty()) {
        summary.nothingToRetry = true;
        summary.removedRetry = removeStaleRetryFile(plan, options);
    }
    summary.reportFile = reportPath(options, run.backupDir);
    std::string report = options.json ? jsonReport(run.units, results, summary)
                                      : textReport(run.units, results, summary);
    if (!summary.reportFile.empty()) {
        std::string error;
        if (!platform::writeFileAtomically(summary.reportFile, report, false, error))
            std::fprintf(streams.err, "unitfleet: cannot write the report: %s\n", error.c_str());
    }
    if (control != nullptr && control->ended)
        control->ended(summary);
    // A closed output (unitfleet ... | head -1) ends the output, not the run:
    // the files above are written whatever becomes of it.
    std::fputs(report.c_str(), streams.out);
    std::fflush(streams.out);
    int status = anyFailed ? kExitSomeFailed : kExitDone;
    if (rollout.signal != 0) {
        std::fprintf(
            streams.err, "unitfleet: stopped by signal %d; record written in %.3f s\n",
            rollout.signal,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - recordStart).count());
        std::fflush(streams.err);
    }
    // One JSON document on standard output: the commit lines go beside it.
    std::FILE* gitOut = options.json ? streams.err : streams.out;
    if (run.git && recordRunInGit(run.command, run.volatileModes, jobs, run.units, results, work,
                                  {gitOut, streams.err, streams.terminal}) != 0)
        status = kExitSomeFailed;
    if (rollout.signal != 0)
        return kExitSignalBase + rollout.signal;
    return rollout.stoppedAfter != 0 ? kExitRolloutStopped : status;
}

}  // namespace

int runBackup(const BackupOptions& options, Streams streams) {
    UnitRun run;
    run.git = options.git;
    run.volatileModes = options.volatileModes;
    if (!loadUnits(Command::Backup, options.run, run, streams.err))
        return kExitInputError;
    // DIR is required: the folder named is used as it is, with its files.
    if (!makeBackupDir(options.dir, run, streams.err))
        return kExitInputError;
    return runUnits(run, streams);
}

int runDiff(const DiffOptions& options, Streams streams) {
    UnitRun run;
    run.work.skipUnknown = options.skipUnknown;
    if (!loadUnits(Command::Diff, options.run, run, streams.err))
        return kExitInputError;
    std::optional<std::vector<ModeSetting>> settings = iniModes(options.ini, streams.err);
    if (!settings)
        return kExitInputError;
    run.work.settings = std::move(*settings);
    return runUnits(run, streams);
}

int runApply(const ApplyOptions& options, Streams streams) {
    if (!restartNeedsCommit(options.commit, options.restart, streams.err))
        return kExitInputError;
    UnitRun run;
    run.work.commit = options.commit;
    run.work.restart = options.restart;
    run.work.skipUnknown = options.skipUnknown;
    run.git = !options.gitDir.empty();
    run.volatileModes = options.volatileModes;
    if (!loadUnits(Command::Apply, options.run, run, streams.err))
        return kExitInputError;
    std::optional<std::vector<ModeSetting>> settings =
        iniModes(options.ini, streams.err, options.iniText);
    if (!settings)
        return kExitInputError;
    run.work.settings = std::move(*settings);
    std::optional<RolloutPlan> plan = rolloutPlan(options.rollout, streams.err);
    if (!plan)
        return kExitInputError;
    run.plan = *plan;
    if (!makeBackupDir(run.git ? options.gitDir : options.backupDir, run, streams.err))
        return kExitInputError;
    return runUnits(run, streams);
}

int runRestore(const RestoreOptions& options, Streams streams) {
    if (!restartNeedsCommit(options.commit, options.restart, streams.err))
        return kExitInputError;
    UnitRun run;
    run.work.commit = options.commit;
    run.work.restart = options.restart;
    run.work.skipUnknown = options.skipUnknown;
    run.work.force = options.force;
    if (!loadUnits(Command::Restore, options.run, run, streams.err))
        return kExitInputError;
    std::optional<RolloutPlan> plan = rolloutPlan(options.rollout, streams.err);
    if (!plan)
        return kExitInputError;
    run.plan = *plan;
    // Checked before any folder is made, so a refused run leaves none.
    if (!loadRestoreTargets(options, run, streams.err) ||
        !makeBackupDir(options.backupDir, run, streams.err))
        return kExitInputError;
    return runUnits(run, streams);
}

}  // namespace unitfleet
