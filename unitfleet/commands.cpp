#include "unitfleet/commands.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "unitfleet/atomic_file.h"
#include "unitfleet/git_run.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/report.h"
#include "unitfleet/runner.h"

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
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
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
};

// Everything that can be wrong with the input, found before any unit is
// contacted. Nothing, after telling the user, when something is.
std::optional<Prepared> prepare(const Settings& settings, std::FILE* err) {
    Prepared prepared;
    std::optional<std::string> text = readTextFile(settings.inventory);
    if (!text) {
        inputError(err,
                   "cannot read inventory " + settings.inventory + ": " + std::strerror(errno));
        return std::nullopt;
    }
    Inventory inventory = parseInventory(*text, settings.inventory);
    if (reportFaults(err, inventory.errors)) {
        inputError(err, settings.inventory + " has faults; no unit was contacted");
        return std::nullopt;
    }
    prepared.units = selectGroups(inventory.units, settings.groups);
    if (prepared.units.empty()) {
        inputError(err, settings.groups.empty()
                            ? settings.inventory + " lists no units"
                            : "no unit of " + settings.inventory + " is in the groups given");
        return std::nullopt;
    }
    if (settings.command != Command::Backup) {
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
    std::string error;
    if (settings.command == Command::Backup) {
        prepared.backupDir = settings.dir;
        if (!ensureDir(settings.dir, error)) {
            inputError(err, error);
            return std::nullopt;
        }
    } else if (settings.command == Command::Apply) {
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
    return prepared;
}

std::string retryPath(const Settings& settings, const std::string& backupDir) {
    if (!settings.retryFile.empty() || backupDir.empty())
        return settings.retryFile;
    return backupDir + "/retry.inventory";
}

}  // namespace

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
    work.durable = settings.command == Command::Apply;
    work.iniText = prepared->iniText;
    work.commit = settings.commit;
    work.restart = settings.restart;

    Progress progress(streams.err, streams.terminal, prepared->units);
    std::vector<UnitResult> results =
        runAll(settings.command, prepared->units, work, settings.jobs,
               [&](std::size_t i, const UnitResult& r, std::size_t done, std::size_t failed) {
                   progress.finished(i, r, done, failed);
               });
    progress.end();

    RunSummary summary;
    summary.command = settings.command;
    summary.backupDir = prepared->backupDir;
    bool anyFailed = false;
    for (const UnitResult& r : results) anyFailed = anyFailed || isFailure(r.outcome);
    std::string path = retryPath(settings, prepared->backupDir);
    if (anyFailed && !path.empty()) {
        std::string heading = "units that failed in: unitfleet " +
                              std::string(commandName(settings.command)) + " " +
                              settings.inventory + ", " + localTime("%Y-%m-%d %H:%M:%S");
        std::string error;
        if (writeFileAtomically(path, retryInventory(prepared->units, results, heading), false,
                                error))
            summary.retryFile = path;
        else
            std::fprintf(streams.err, "unitfleet: cannot write the retry file: %s\n",
                         error.c_str());
    }
    if (settings.json)
        printJson(streams.out, prepared->units, results, summary);
    else
        printText(streams.out, prepared->units, results, summary);
    int status = anyFailed ? kExitSomeFailed : kExitDone;
    if (settings.git && recordRunInGit(settings, prepared->units, results, work, streams) != 0)
        status = kExitSomeFailed;
    return status;
}

}  // namespace unitfleet
