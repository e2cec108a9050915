#include "unitfleet/git_run.h"

#include "unitfleet/git_store.h"
#include "unitfleet/runner.h"

namespace unitfleet {

namespace {

std::size_t failures(const std::vector<UnitResult>& results) {
    std::size_t failed = 0;
    for (const UnitResult& r : results) failed += isFailure(r.outcome) ? 1 : 0;
    return failed;
}

bool commitAndTell(const std::string& dir, const GitRun& run, std::FILE* out, std::FILE* err) {
    std::string error;
    std::optional<GitCommit> commit = commitListings(dir, run, error);
    if (!commit) {
        std::fprintf(err, "unitfleet: the run is not recorded in git: %s\n", error.c_str());
        std::fflush(err);
        return false;
    }
    if (commit->made)
        std::fprintf(out, "history: commit %s %s\n", commit->id.c_str(), commit->summary.c_str());
    else
        std::fprintf(out, "history: nothing changed, no commit\n");
    std::fflush(out);
    return true;
}

}  // namespace

int recordRunInGit(const Settings& settings, const std::vector<InventoryUnit>& units,
                   const std::vector<UnitResult>& results, const WorkSettings& work,
                   Streams streams) {
    // One JSON document on standard output: the commit lines go beside it.
    std::FILE* out = settings.json ? streams.err : streams.out;
    GitRun run;
    run.units = units.size();
    run.failed = failures(results);
    for (const std::string& mode : settings.volatileModes) run.volatileModes.names.push_back(mode);
    if (!commitAndTell(work.backupDir, run, out, streams.err))
        return kExitSomeFailed;
    if (settings.command != Command::Apply)
        return kExitDone;

    // The state after the change, as the units now report it; a unit that
    // cannot be read keeps its listing from before.
    std::vector<UnitResult> after = runAll(Command::Backup, units, work, settings.jobs, nullptr);
    run.verb = "apply";
    run.failed = 0;
    for (std::size_t i = 0; i < units.size(); ++i)
        run.failed += isFailure(results[i].outcome) || isFailure(after[i].outcome) ? 1 : 0;
    return commitAndTell(work.backupDir, run, out, streams.err) ? kExitDone : kExitSomeFailed;
}

}  // namespace unitfleet
