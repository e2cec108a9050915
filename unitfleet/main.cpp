// unitfleet: back up, compare and configure many units at once.
#include <CLI/CLI.hpp>

#include "unitfleet/ansible_inventory.h"
#include "unitfleet/commands.h"
#include "unitfleet/console.h"
#include "unitfleet/discover.h"
#include "unitfleet/history_command.h"
#include "unitfleet/status.h"

namespace {

constexpr const char* kInventoryHelp =
    "Inventory: one unit a line: ADDRESS [NAME [GROUP...]], '#' starts a comment, e.g.\n"
    "  127.0.0.5  till-07  shop-north tills\n"
    "Exit status: 0 every unit done, 1 some units failed (listed in the retry file),\n"
    "2 usage or input error (nothing was sent), 3 a rollout (--batch with --max-fail)\n"
    "stopped at its failure ceiling (the units not reached are in the retry file).";

// apply and restore: the change goes out in batches with a failure ceiling.
void rolloutOptions(CLI::App* command, unitfleet::Settings& settings) {
    command->add_option("--batch", settings.batch,
                        "Units a batch, N or N% of the units, in inventory order; each batch "
                        "is done before the next starts");
    command->add_option("--max-fail", settings.maxFail,
                        "Failures allowed, N or N% of the units (rounded down); past it the "
                        "rollout stops after the current batch (exit status 3)");
    command->add_option("--canary", settings.canary, "Size of the first batch")
        ->check(CLI::Range(1, 1000000));
}

void workerOptions(CLI::App* command, int& jobs, double& timeoutSeconds,
                   const std::string& jobsHelp, const std::string& timeoutHelp) {
    command->add_option("-j,--jobs", jobs, jobsHelp)->check(CLI::Range(1, 1024));
    command->add_option("--timeout", timeoutSeconds, timeoutHelp)->check(CLI::Range(0.1, 3600.0));
}

void inventoryOptions(CLI::App* command, std::vector<std::string>& groups, bool& json) {
    // One group per -g, so "-g tills INVENTORY DIR" leaves the rest to the
    // positional arguments.
    command->add_option("-g,--group", groups, "Only units of this group (repeatable)")
        ->allow_extra_args(false);
    command->add_flag("--json", json, "Print the results as one JSON document");
}

void commonOptions(CLI::App* command, unitfleet::Settings& settings) {
    workerOptions(command, settings.jobs, settings.timeoutSeconds,
                  "Units worked on at once (default 32)",
                  "Seconds one unit may take in all (default 10)");
    inventoryOptions(command, settings.groups, settings.json);
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
    unitfleet::ignoreBrokenPipes();
    unitfleet::Settings settings;
    CLI::App app{"unitfleet: back up, compare and configure many units at once"};
    app.footer(kInventoryHelp);
    app.require_subcommand(1);

    CLI::App* backup =
        app.add_subcommand("backup",
                           "Save every unit's modes in DIR, one listing per unit (restores with "
                           "Tarnix -s -f FILE ADDRESS)");
    backup->add_option("INVENTORY", settings.inventory, "Inventory file")->required();
    backup->add_option("DIR", settings.dir, "Folder for the listings")->required();
    backup->add_option("--retry", settings.retryFile,
                       "Write the failed units here (default DIR/retry.inventory)");
    backup->add_flag("--git", settings.git,
                     "Keep DIR as a git repository: one commit per run that changed a listing");
    volatileOption(backup, settings.volatileModes);
    commonOptions(backup, settings);

    CLI::App* diff = app.add_subcommand(
        "diff", "Show per unit what setting the modes of INI would change; sends only queries");
    diff->add_option("INVENTORY", settings.inventory, "Inventory file")->required();
    diff->add_option("INI", settings.ini, "Mode file (name = value lines)")->required();
    diff->add_option("--retry", settings.retryFile, "Write the failed units here");
    commonOptions(diff, settings);

    CLI::App* apply = app.add_subcommand(
        "apply",
        "Back up, set the modes of INI, read them back, and commit the units where "
        "every value was accepted and verified");
    apply->add_option("INVENTORY", settings.inventory, "Inventory file")->required();
    apply->add_option("INI", settings.ini, "Mode file (name = value lines)")->required();
    apply->add_flag("--commit", settings.commit, "Commit the clean units to permanent storage");
    apply->add_flag("--restart", settings.restart, "Restart the committed units (needs --commit)");
    apply->add_option("--backup-dir", settings.backupDir,
                      "Folder for the backups (default unitfleet-backup-YYYYMMDD-HHMMSS)");
    apply->add_option("--retry", settings.retryFile,
                      "Write the failed units here (default BACKUPDIR/retry.inventory)");
    std::string gitDir;
    apply
        ->add_option("--git", gitDir,
                     "Back up into the git repository DIR and commit the states before and "
                     "after the change")
        ->excludes("--backup-dir");
    volatileOption(apply, settings.volatileModes);
    rolloutOptions(apply, settings);
    commonOptions(apply, settings);

    CLI::App* restore = app.add_subcommand(
        "restore",
        "Put every unit back as its listing in BACKUP_DIR has it: set what differs, read back, "
        "commit with --commit; units without a listing are reported and not contacted");
    restore->add_option("INVENTORY", settings.inventory, "Inventory file")->required();
    restore->add_option("BACKUP_DIR", settings.dir, "Folder written by backup or apply")
        ->required();
    restore->add_flag("--commit", settings.commit, "Commit the clean units to permanent storage");
    restore->add_flag("--restart", settings.restart,
                      "Restart the committed units (needs --commit)");
    restore->add_option("--backup-dir", settings.backupDir,
                        "Folder for the backups taken first (default "
                        "unitfleet-backup-YYYYMMDD-HHMMSS)");
    restore->add_option("--retry", settings.retryFile,
                        "Write the failed units here (default BACKUPDIR/retry.inventory)");
    rolloutOptions(restore, settings);
    commonOptions(restore, settings);

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
    discover->add_option("-o,--output", discovery.output,
                         "Write the inventory to this file (atomically) instead of stdout");

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

    unitfleet::HistorySettings history;
    CLI::App* historyCommand = app.add_subcommand(
        "history", "Per commit of a folder kept with --git: its date and each unit's mode changes");
    historyCommand->add_option("DIR", history.dir, "Backup folder kept with --git")->required();
    historyCommand->add_option("UNIT", history.unit, "Only this unit (its listing's name)");
    historyCommand->add_option("--since", history.since,
                               "Only commits from this local time on: YYYY-MM-DD [HH:MM[:SS]]");
    volatileOption(historyCommand, history.volatileModes);

    std::string host;
    CLI::App* inventoryCommand = app.add_subcommand(
        "ansible-inventory",
        "Print INVENTORY as an Ansible inventory script does (the unitfleet_inventory script)");
    inventoryCommand->add_option("INVENTORY", settings.inventory, "Inventory file")->required();
    bool listAll = false;
    CLI::Option* list = inventoryCommand->add_flag("--list", listAll, "Every group and host");
    inventoryCommand->add_option("--host", host, "The variables of one host")->excludes(list);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
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
        return unitfleet::runAnsibleInventory(settings.inventory, host, stdout, stderr);
    if (!gitDir.empty()) {
        settings.backupDir = gitDir;
        settings.git = true;
    }
    if (backup->parsed())
        settings.command = unitfleet::Command::Backup;
    else if (diff->parsed())
        settings.command = unitfleet::Command::Diff;
    else if (restore->parsed())
        settings.command = unitfleet::Command::Restore;
    else
        settings.command = unitfleet::Command::Apply;
    return unitfleet::runCommand(settings, {stdout, stderr, unitfleet::isTerminal(stderr)});
}
