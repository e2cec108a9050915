// SPDX-License-Identifier: Apache-2.0
// unitfleet: back up, compare and configure many units at once.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "platform/console.h"
#include "platform/parse.h"
#include "protocol/text.h"
#include "unitfleet/ansible_inventory.h"
#include "unitfleet/commands.h"
#include "unitfleet/discover.h"
#include "unitfleet/history_command.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/status.h"

namespace {

constexpr const char* kInventoryHelp =
    "Inventory: one unit a line: ADDRESS[:PORT] [NAME [GROUP...]], '#' starts a comment, e.g.\n"
    "  127.0.0.5  till-07  shop-north tills\n"
    "  shop9.example:10001  till-09  shop-9";

// Each command's help ends with the exit codes it can give.
constexpr const char* kUnitRunExit =
    "Exit status: 0 every unit done, 1 some units failed (listed in the retry file),\n"
    "2 usage or input error (nothing was sent), 130/143 stopped by SIGINT/SIGTERM (the\n"
    "units not done are reported and retried as interrupted; a second signal ends at once).";
constexpr const char* kRolloutExit =
    "Exit status: 0 every unit done, 1 some units failed (listed in the retry file),\n"
    "2 usage or input error (nothing was sent), 3 a rollout (--batch with --max-fail)\n"
    "stopped at its failure ceiling (the units not reached are in the retry file),\n"
    "130/143 stopped by SIGINT/SIGTERM (the units not done are reported and retried as\n"
    "interrupted; a second signal ends at once).";
constexpr const char* kDiscoverExit =
    "Exit status: 0 the ranges were tried (whether or not units were found), 1 the\n"
    "inventory could not be written or no worker started, 2 usage error.";
constexpr const char* kStatusExit =
    "Exit status: 0 every unit up with an OK UnitStatus, 1 otherwise, 2 usage or input\n"
    "error.";
constexpr const char* kHistoryExit =
    "Exit status: 0 the history was read, 2 usage error or a folder without history.";
constexpr const char* kAnsibleExit = "Exit status: 0 printed, 2 usage or input error.";

constexpr const char* kCommands[] = {"backup",   "diff",   "apply",   "restore",
                                     "discover", "status", "history", "ansible-inventory"};

// Seconds as the suite's own tools take them: decimal, fractions allowed.
CLI::Validator secondsFrom(double least, double most) {
    return CLI::Validator(
        [least, most](std::string& text) -> std::string {
            std::optional<double> seconds = platform::parseSeconds(text, most);
            if (seconds && *seconds >= least)
                return {};
            char range[64];
            std::snprintf(range, sizeof range, "%g to %g", least, most);
            return "takes seconds from " + std::string(range) + " (e.g. 2 or 0.5), not '" + text +
                   "'";
        },
        "SECONDS");
}

CLI::Validator countFrom(std::uint64_t least, std::uint64_t most) {
    return CLI::Validator(
        [least, most](std::string& text) -> std::string {
            std::optional<std::uint64_t> n = platform::parseUnsigned(text, most);
            if (n && *n >= least)
                return {};
            return "takes a whole number from " + std::to_string(least) + " to " +
                   std::to_string(most) + ", not '" + text + "'";
        },
        "N");
}

// A first argument that is no command and no option: say so, and what was
// probably meant, rather than CLI11's "A subcommand is required".
bool isUnknownCommand(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-')
        return false;
    std::string word = argv[1];
    std::vector<std::string> names(std::begin(kCommands), std::end(kCommands));
    if (std::find(names.begin(), names.end(), word) != names.end())
        return false;
    std::string close = unitfleet::closestName(word, names);
    std::fprintf(stderr, "unitfleet: unknown command '%s'%s; see unitfleet --help\n",
                 protocol::escapeControls(word).c_str(),
                 close.empty() ? "" : (" (did you mean " + close + "?)").c_str());
    return true;
}

// apply and restore: the change goes out in batches with a failure ceiling.
void rolloutOptions(CLI::App* command, unitfleet::RolloutOptions& rollout) {
    command->add_option("--batch", rollout.batch,
                        "Units a batch, N or N% of the units, in inventory order; each batch "
                        "is done before the next starts");
    command->add_option("--max-fail", rollout.maxFail,
                        "Failures allowed, N or N% of the units (rounded down); past it the "
                        "rollout stops after the current batch (exit status 3)");
    command->add_option("--canary", rollout.canary, "Size of the first batch")
        ->check(countFrom(1, 1000000));
}

void skipUnknownOption(CLI::App* command, bool& skip) {
    command->add_flag("--skip-unknown", skip,
                      "Skip modes a unit does not have (named in its result) instead of "
                      "failing the unit");
}

void workerOptions(CLI::App* command, int& jobs, double& timeoutSeconds,
                   const std::string& jobsHelp, const std::string& timeoutHelp) {
    command->add_option("-j,--jobs", jobs, jobsHelp)->check(countFrom(1, 1024));
    command->add_option("--timeout", timeoutSeconds, timeoutHelp)->check(secondsFrom(0.1, 3600.0));
}

void inventoryOptions(CLI::App* command, std::vector<std::string>& groups, bool& json) {
    // One group per -g, so "-g tills INVENTORY DIR" leaves the rest to the
    // positional arguments.
    command->add_option("-g,--group", groups, "Only units of this group (repeatable)")
        ->allow_extra_args(false);
    command->add_flag("--json", json, "Print the results as one JSON document");
}

// backup, diff, apply and restore: the inventory is the first argument.
void inventoryArgument(CLI::App* command, unitfleet::UnitRunOptions& run) {
    command->add_option("INVENTORY", run.inventory, "Inventory file")->required();
}

void commonOptions(CLI::App* command, unitfleet::UnitRunOptions& run) {
    workerOptions(command, run.jobs, run.timeoutSeconds, "Units worked on at once (default 32)",
                  "Seconds one unit may take in all (default 10)");
    inventoryOptions(command, run.groups, run.json);
}

void volatileOption(CLI::App* command, std::vector<std::string>& modes) {
    command->add_option("--volatile", modes,
                        "A mode whose value moves by itself and is no change (repeatable; "
                        "DateTime always is)");
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (unitfleet ... | head -1) must not end the run
    // half way: writes to it fail, and the report and retry files are
    // written all the same.
    platform::ignoreBrokenPipes();
    if (isUnknownCommand(argc, argv))
        return unitfleet::kExitInputError;
    CLI::App app{"unitfleet: back up, compare and configure many units at once"};
    app.footer(kInventoryHelp);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("unitfleet ") + UNITFLEET_VERSION);

    CLI::App* backup =
        app.add_subcommand("backup",
                           "Save every unit's modes in DIR, one listing per unit (restores with "
                           "Tarnix -s -f FILE ADDRESS)");
    unitfleet::BackupOptions backupOptions;
    inventoryArgument(backup, backupOptions.run);
    backup->add_option("DIR", backupOptions.dir, "Folder for the listings")->required();
    backup->add_option("--retry", backupOptions.run.retryFile,
                       "Write the failed units here (default DIR/retry.inventory)");
    backup->add_flag("--git", backupOptions.git,
                     "Keep DIR as a git repository: one commit per run that changed a listing");
    volatileOption(backup, backupOptions.volatileModes);
    commonOptions(backup, backupOptions.run);
    backup->footer(kUnitRunExit);

    CLI::App* diff = app.add_subcommand(
        "diff", "Show per unit what setting the modes of INI would change; sends only queries");
    unitfleet::DiffOptions diffOptions;
    inventoryArgument(diff, diffOptions.run);
    diff->add_option("INI", diffOptions.ini, "Mode file (name = value lines)")->required();
    diff->add_option("--retry", diffOptions.run.retryFile, "Write the failed units here");
    skipUnknownOption(diff, diffOptions.skipUnknown);
    commonOptions(diff, diffOptions.run);
    diff->footer(kUnitRunExit);

    CLI::App* apply = app.add_subcommand(
        "apply",
        "Back up, set the modes of INI, read them back, and commit the units where "
        "every value was accepted and verified");
    unitfleet::ApplyOptions applyOptions;
    inventoryArgument(apply, applyOptions.run);
    apply->add_option("INI", applyOptions.ini, "Mode file (name = value lines)")->required();
    apply->add_flag("--commit", applyOptions.commit, "Commit the clean units to permanent storage");
    apply->add_flag("--restart", applyOptions.restart,
                    "Restart the committed units (needs --commit)");
    apply->add_option("--backup-dir", applyOptions.backupDir,
                      "Folder for the backups (default unitfleet-backup-YYYYMMDD-HHMMSS)");
    apply->add_option("--retry", applyOptions.run.retryFile,
                      "Write the failed units here (default BACKUPDIR/retry.inventory)");
    apply
        ->add_option("--git", applyOptions.gitDir,
                     "Back up into the git repository DIR and commit the states before and "
                     "after the change")
        ->excludes("--backup-dir");
    volatileOption(apply, applyOptions.volatileModes);
    skipUnknownOption(apply, applyOptions.skipUnknown);
    rolloutOptions(apply, applyOptions.rollout);
    commonOptions(apply, applyOptions.run);
    apply->footer(kRolloutExit);

    CLI::App* restore = app.add_subcommand(
        "restore",
        "Put every unit back as its listing in BACKUP_DIR has it: set what differs, read back, "
        "commit with --commit; units without a listing are reported and not contacted");
    unitfleet::RestoreOptions restoreOptions;
    inventoryArgument(restore, restoreOptions.run);
    restore->add_option("BACKUP_DIR", restoreOptions.source, "Folder written by backup or apply")
        ->required();
    restore->add_flag("--commit", restoreOptions.commit,
                      "Commit the clean units to permanent storage");
    restore->add_flag("--restart", restoreOptions.restart,
                      "Restart the committed units (needs --commit)");
    restore->add_option("--backup-dir", restoreOptions.backupDir,
                        "Folder for the backups taken first (default "
                        "unitfleet-backup-YYYYMMDD-HHMMSS)");
    restore->add_option("--retry", restoreOptions.run.retryFile,
                        "Write the failed units here (default BACKUPDIR/retry.inventory)");
    skipUnknownOption(restore, restoreOptions.skipUnknown);
    restore->add_flag("--force", restoreOptions.force,
                      "Restore a listing saved from another address (its TargetIP), or one that "
                      "names none of the unit's modes");
    rolloutOptions(restore, restoreOptions.rollout);
    commonOptions(restore, restoreOptions.run);
    restore->footer(kRolloutExit);

    unitfleet::DiscoverSettings discovery;
    CLI::App* discover = app.add_subcommand(
        "discover",
        "Write an inventory of the units in RANGEs: every address that accepts on port 1283 "
        "and answers a UnitID query, named by its UnitID; the others are counted on stderr");
    discover->add_option("RANGE", discovery.ranges, "A-B, A/N (CIDR) or one address")->required();
    workerOptions(discover, discovery.jobs, discovery.timeoutSeconds,
                  "Addresses tried at once (default 64)",
                  "Seconds one address may take (default 2)");
    discover->add_flag("--force", discovery.force, "Try more than 4096 addresses (at most 65536)");
    discover
        ->add_option("--port", discovery.port,
                     "Try this port instead of 1283; it is written after each address found")
        ->check(countFrom(1, 65535));
    discover->add_option("-o,--output", discovery.output,
                         "Write the inventory to this file (atomically, through a symlink to a "
                         "regular file) instead of stdout");
    discover->footer(kDiscoverExit);

    unitfleet::StatusSettings state;
    CLI::App* status = app.add_subcommand(
        "status",
        "Ask every unit for its UnitStatus: up or down, the value and the reply time; "
        "exit 0 only when every unit is up and OK");
    status->add_option("INVENTORY", state.inventory, "Inventory file")->required();
    status->add_option("--prometheus", state.prometheus,
                       "Also write unit_up, unit_status_ok and unit_reply_seconds to this file "
                       "(text exposition format, written atomically)");
    status->add_option("--ok", state.okStatus,
                       "The UnitStatus value that counts as OK, any case (default OK)");
    workerOptions(status, state.jobs, state.timeoutSeconds, "Units asked at once (default 32)",
                  "Seconds one unit may take (default 10)");
    inventoryOptions(status, state.groups, state.json);
    status->footer(kStatusExit);

    unitfleet::HistorySettings history;
    CLI::App* historyCommand = app.add_subcommand(
        "history", "Per commit of a folder kept with --git: its date and each unit's mode changes");
    historyCommand->add_option("DIR", history.dir, "Backup folder kept with --git")->required();
    historyCommand->add_option("UNIT", history.unit, "Only this unit (its listing's name)");
    historyCommand->add_option("--since", history.since,
                               "Only commits from this local time on: YYYY-MM-DD [HH:MM[:SS]]");
    volatileOption(historyCommand, history.volatileModes);
    historyCommand->footer(kHistoryExit);

    std::string host;
    CLI::App* inventoryCommand = app.add_subcommand(
        "ansible-inventory",
        "Print INVENTORY as an Ansible inventory script does (the unitfleet_inventory script)");
    std::string ansibleInventory;
    inventoryCommand->add_option("INVENTORY", ansibleInventory, "Inventory file")->required();
    bool listAll = false;
    CLI::Option* list = inventoryCommand->add_flag("--list", listAll, "Every group and host");
    inventoryCommand->add_option("--host", host, "The variables of one host")->excludes(list);
    inventoryCommand->footer(kAnsibleExit);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return unitfleet::kExitInputError;
    }
    if (discover->parsed())
        return unitfleet::runDiscover(discovery, stdout, stderr);
    if (status->parsed())
        return unitfleet::runStatus(state, stdout, stderr);
    if (historyCommand->parsed())
        return unitfleet::runHistory(history, stdout, stderr);
    if (inventoryCommand->parsed())
        return unitfleet::runAnsibleInventory(ansibleInventory, host, stdout, stderr);
    unitfleet::Streams streams{stdout, stderr, platform::isTerminal(stderr)};
    if (backup->parsed())
        return unitfleet::runBackup(backupOptions, streams);
    if (diff->parsed())
        return unitfleet::runDiff(diffOptions, streams);
    if (restore->parsed())
        return unitfleet::runRestore(restoreOptions, streams);
    return unitfleet::runApply(applyOptions, streams);
}
