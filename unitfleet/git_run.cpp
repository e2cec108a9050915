// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/git_run.h"

#include "protocol/text.h"
#include "unitfleet/git_store.h"
#include "unitfleet/report.h"
#include "unitfleet/runner.h"

namespace unitfleet {

namespace {

// The unit was contacted in this run, so it may hold another state now.
bool wasReached(Outcome outcome) {
    switch (outcome) {
        case Outcome::NotAttempted:
        case Outcome::NoListing:
        case Outcome::BadListing:
        case Outcome::NotRun:
        case Outcome::Unreachable:
        case Outcome::Unresolved:
            return false;
        case Outcome::Interrupted:
            return false;  // only ever before any set
        default:
            return true;
    }
}

bool commitAndTell(const std::string& dir, const GitRun& run, std::FILE* out, std::FILE* err) {
    std::string error;
    std::optional<GitCommit> commit = commitListings(dir, run, error);
    if (!commit) {
        std::fprintf(err, "unitfleet: the run is not recorded in git: %s\n", error.c_str());
        std::fflush(err);
        return false;
    }
    for (const std::string& name : commit->leftOut) {
        std::fprintf(err,
                     "unitfleet: warning: %s/%s differs from the last commit but is not this "
                     "run's; left out of the history\n",
                     dir.c_str(), protocol::escapeControls(name).c_str());
    }
    if (commit->made)
        std::fprintf(out, "history: commit %s %s\n", commit->id.c_str(), commit->summary.c_str());
    else
        std::fprintf(out, "history: nothing changed, no commit\n");
    std::fflush(out);
    std::fflush(err);
    return true;
}

}  // namespace

int recordRunInGit(Command command, const std::vector<std::string>& volatileModes, int jobs,
                   const std::vector<InventoryUnit>& units, const std::vector<UnitResult>& results,
                   const WorkSettings& work, Streams streams) {
    std::FILE* out = streams.out;
    GitRun run;
    run.verb = std::string(commandName(command));
    run.units = units.size();
    if (work.control != nullptr)
        run.author = work.control->author;
    for (const std::string& mode : volatileModes) run.volatileModes.names.push_back(mode);
    std::size_t applied = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitResult& r = results[i];
        if (r.saved)
            run.stems.push_back(units[i].fileStem());
        run.notAttempted += r.outcome == Outcome::NotAttempted ? 1 : 0;
        run.failed += isFailure(r.outcome) && r.outcome != Outcome::NotAttempted ? 1 : 0;
        applied += r.outcome == Outcome::Applied ? 1 : 0;
    }
    if (command != Command::Apply)
        return commitAndTell(work.backupDir, run, out, streams.err) ? kExitDone : kExitSomeFailed;

    run.state = " (state before)";
    if (!commitAndTell(work.backupDir, run, out, streams.err))
        return kExitSomeFailed;

    // The state after the change, as the units now report it: only the units
    // this run reached. One that cannot be read keeps its listing from before.
    std::vector<InventoryUnit> reached;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (results[i].saved && wasReached(results[i].outcome))
            reached.push_back(units[i]);
    }
    // The run's observers count its own units: this second read is not told
    // to them; its stop still holds.
    WorkSettings again = work;
    RunControl quiet;
    if (work.control != nullptr)
        quiet.stop = work.control->stop;
    again.control = &quiet;
    std::vector<UnitResult> after = runAll(Command::Backup, reached, again, jobs, nullptr);
    run.state.clear();
    run.changed = applied;
    run.stems.clear();
    for (std::size_t i = 0; i < reached.size(); ++i) {
        if (after[i].saved)
            run.stems.push_back(reached[i].fileStem());
    }
    return commitAndTell(work.backupDir, run, out, streams.err) ? kExitDone : kExitSomeFailed;
}

}  // namespace unitfleet
