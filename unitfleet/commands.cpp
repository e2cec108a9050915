#include "unitfleet/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "unitfleet/atomic_file.h"
#include "unitfleet/console.h"
#include "unitfleet/git_run.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/report.h"
#include "unitfleet/restore.h"
#include "unitfleet/rollout.h"

namespace unitfleet {

namespace {

namespace fs = std::filesystem;

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
    std::tm parts = localTimeNow();
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

std::string runHeading(const Settings& settings) {
    std::string heading = "units that failed in: unitfleet " +
                          std::string(commandName(settings.command)) + " " + settings.inventory;
    for (const std::string& group : settings.groups) heading += " -g " + group;
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

struct Prepared {
    std::vector<InventoryUnit> units;
    std::string iniText;
    std::string backupDir;
    std::vector<std::optional<std::string>> targets;  // restore: per unit
    RolloutPlan plan;
};

// The batches and the ceiling of apply and restore; nothing after telling
// the user what is wrong with them.
std::optional<RolloutPlan> rolloutPlan(const Settings& settings, std::FILE* err) {
    RolloutPlan plan;
    plan.canary = static_cast<std::size_t>(std::max(settings.canary, 0));
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
    if (!share(settings.batch, "--batch", plan.batch, 1) ||
        !share(settings.maxFail, "--max-fail", plan.maxFail, 0))
        return std::nullopt;
    if (plan.maxFail && !plan.batch && plan.canary == 0) {
        inputError(err, "--max-fail needs --batch or --canary: it is checked after each batch");
        return std::nullopt;
    }
    return plan;
}

// restore: every unit's saved listing, and a backup folder that is not the
// source it restores from.
bool prepareRestore(const Settings& settings, Prepared& prepared, std::FILE* err) {
    std::string error;
    std::optional<ListingSource> source = listingSourceFor(settings.dir, error);
    if (!source) {
        inputError(err, error);
        return false;
    }
    std::error_code ec;
    if (fs::equivalent(settings.dir, prepared.backupDir, ec)) {
        inputError(err, "--backup-dir must not be the folder restored from");
        return false;
    }
    auto targets = loadTargets(prepared.units, *source, err);
    if (!targets) {
        inputError(err, "the saved listings have faults; no unit was contacted");
        return false;
    }
    prepared.targets = std::move(*targets);
    return true;
}

// Everything that can be wrong with the input, found before any unit is
// contacted. Nothing, after telling the user, when something is.
std::optional<Prepared> prepare(const Settings& settings, std::FILE* err) {
    Prepared prepared;
    if (!settings.retryFile.empty() && sameFile(settings.retryFile, settings.inventory)) {
        inputError(err, "--retry " + settings.retryFile +
                            " is the inventory itself; name another file (the inventory is "
                            "never written)");
        return std::nullopt;
    }
    std::optional<std::vector<InventoryUnit>> units =
        loadInventory(settings.inventory, settings.groups, err);
    if (!units)
        return std::nullopt;
    prepared.units = std::move(*units);
    if (settings.command == Command::Diff || settings.command == Command::Apply) {
        std::optional<std::string> ini = readTextFile(settings.ini);
        if (!ini) {
            inputError(err, "cannot read ini file " + settings.ini + ": " + std::strerror(errno));
            return std::nullopt;
        }
        // The mode tools read an ini file up to its first zero byte.
        prepared.iniText = ini->substr(0, ini->find('\0'));
        if (reportFaults(err, checkIni(prepared.iniText, settings.ini))) {
            inputError(err, settings.ini + " has faults; no unit was contacted");
            return std::nullopt;
        }
    }
    if (settings.command == Command::Apply || settings.command == Command::Restore) {
        std::optional<RolloutPlan> plan = rolloutPlan(settings, err);
        if (!plan)
            return std::nullopt;
        prepared.plan = *plan;
    }
    std::string error;
    if (settings.command == Command::Backup) {
        prepared.backupDir = settings.dir;
        if (!ensureDir(settings.dir, error)) {
            inputError(err, error);
            return std::nullopt;
        }
    } else if (settings.command != Command::Diff) {
        if (!settings.backupDir.empty()) {
            prepared.backupDir = settings.backupDir;
            if (!ensureDir(settings.backupDir, error)) {
                inputError(err, error);
                return std::nullopt;
            }
        } else if (auto dir = makeTimestampedDir(error)) {
            prepared.backupDir = *dir;
        } else {
            inputError(err, error);
            return std::nullopt;
        }
    }
    if (settings.command == Command::Restore && !prepareRestore(settings, prepared, err))
        return std::nullopt;
    return prepared;
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

RetryPlan retryPlan(const Settings& settings, const std::string& backupDir) {
    if (!settings.retryFile.empty() || backupDir.empty())
        return {settings.retryFile, false};
    std::string shared = backupDir + "/retry.inventory";
    if (settings.groups.empty() && !sameFile(shared, settings.inventory))
        return {shared, false};
    return {backupDir + "/retry-" + std::string(commandName(settings.command)) + "-" +
                localTime("%Y%m%d-%H%M%S"),
            true};
}

// Writes the retry file; its path, or empty after telling the user why not.
std::string writeRetryFile(const RetryPlan& plan, const std::string& content, std::FILE* err) {
    std::string error;
    if (!plan.namedAfterRun) {
        if (writeFileAtomically(plan.path, content, false, error))
            return plan.path;
    } else {
        // A second run within the same second gets a suffix.
        for (int n = 1; n < 100; ++n) {
            std::string path = plan.path + (n == 1 ? "" : "-" + std::to_string(n)) + ".inventory";
            if (writeNewFile(path, content, error))
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
std::string removeStaleRetryFile(const RetryPlan& plan, const Settings& settings) {
    std::error_code ec;
    if (plan.path.empty() || plan.namedAfterRun || sameFile(plan.path, settings.inventory) ||
        !fs::is_regular_file(fs::symlink_status(plan.path, ec)))
        return {};
    return fs::remove(plan.path, ec) ? plan.path : std::string();
}

// The report beside the backups, so a run whose output went nowhere (a
// closed pipe, a lost terminal) still leaves its record.
std::string reportPath(const Settings& settings, const std::string& backupDir) {
    if (backupDir.empty())
        return {};
    return backupDir + (settings.json ? "/report.json" : "/report.txt");
}

}  // namespace

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

int runCommand(const Settings& settings, Streams streams) {
    if (settings.restart && !settings.commit) {
        // A restart drops every value that was not committed, so it would
        // quietly undo the whole run.
        return inputError(streams.err,
                          "--restart needs --commit: a restart drops uncommitted values");
    }
    std::optional<Prepared> prepared = prepare(settings, streams.err);
    if (!prepared)
        return kExitInputError;
    WorkSettings work;
    work.timeout =
        std::chrono::milliseconds(static_cast<long long>(settings.timeoutSeconds * 1000));
    work.backupDir = prepared->backupDir;
    work.durable = settings.command == Command::Apply || settings.command == Command::Restore;
    work.iniText = prepared->iniText;
    work.commit = settings.commit;
    work.restart = settings.restart;
    work.targetFor = [&](const InventoryUnit& unit) -> const std::string* {
        // Units are in line order, and a rollout works on copies of them.
        const auto& units = prepared->units;
        auto at = std::lower_bound(units.begin(), units.end(), unit.line,
                                   [](const InventoryUnit& u, int line) { return u.line < line; });
        auto i = static_cast<std::size_t>(at - units.begin());
        const auto& targets = prepared->targets;
        return i < targets.size() && targets[i] ? &*targets[i] : nullptr;
    };

    Progress progress(streams.err, streams.terminal, prepared->units);
    Rollout rollout = runRollout(settings.command, prepared->units, work, settings.jobs,
                                 prepared->plan, progress);
    progress.end();
    std::vector<UnitResult>& results = rollout.results;

    RunSummary summary;
    summary.command = settings.command;
    summary.backupDir = prepared->backupDir;
    summary.rollout = stopText(rollout);
    bool anyFailed = false;
    for (const UnitResult& r : results) anyFailed = anyFailed || isFailure(r.outcome);
    RetryPlan plan = retryPlan(settings, prepared->backupDir);
    if (anyFailed && !plan.path.empty()) {
        summary.retryFile = writeRetryFile(
            plan, retryInventory(prepared->units, results, runHeading(settings)), streams.err);
    } else if (!anyFailed && !plan.path.empty()) {
        summary.nothingToRetry = true;
        summary.removedRetry = removeStaleRetryFile(plan, settings);
    }
    summary.reportFile = reportPath(settings, prepared->backupDir);
    std::string report = settings.json ? jsonReport(prepared->units, results, summary)
                                       : textReport(prepared->units, results, summary);
    if (!summary.reportFile.empty()) {
        std::string error;
        if (!writeFileAtomically(summary.reportFile, report, false, error))
            std::fprintf(streams.err, "unitfleet: cannot write the report: %s\n", error.c_str());
    }
    // A closed output (unitfleet ... | head -1) ends the output, not the run:
    // the files above are written whatever becomes of it.
    std::fputs(report.c_str(), streams.out);
    std::fflush(streams.out);
    int status = anyFailed ? kExitSomeFailed : kExitDone;
    if (settings.git && recordRunInGit(settings, prepared->units, results, work, streams) != 0)
        status = kExitSomeFailed;
    return rollout.stoppedAfter != 0 ? kExitRolloutStopped : status;
}

}  // namespace unitfleet
