#include "unitfleet/unit_work.h"

#include <mutex>
#include <new>

#include "protocol/mode_listing.h"
#include "protocol/text.h"
#include "unitfleet/atomic_file.h"
#include "unitfleet/unit_limits.h"

namespace unitfleet {

namespace {

using protocol::ClientSession;
using Status = ClientSession::Status;

// The queries a listing starts with, as the mode tool sends them, so that a
// saved listing is byte for byte what the tool prints.
constexpr const char* kOpening[] = {"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=FALSE"};

// The listings all go into one folder. Created and renamed by every worker at
// once, they make the kernel spin on that folder's lock while the units'
// replies wait for a core; one at a time costs nothing. Durable writes still
// run side by side: their flush to disk is the long part, and flushes that
// overlap share the file system's commits.
std::mutex listingWrites;

UnitResult failure(Status status) {
    UnitResult result;
    switch (status) {
        case Status::Unresolved:
        case Status::Unreachable:
            result.outcome = Outcome::Unreachable;
            break;
        case Status::TimedOut:
            result.outcome = Outcome::TimedOut;
            break;
        default:
            result.outcome = Outcome::Lost;
            break;
    }
    return result;
}

UnitResult failed(Outcome outcome, std::string detail) {
    UnitResult result;
    result.outcome = outcome;
    result.detail = std::move(detail);
    return result;
}

// Sends a query the run depends on: a refusal fails the unit as surely as a
// broken connection, with the unit's own text as the reason, since a
// refused "" or "*" answers with an error text instead of the modes.
std::optional<UnitResult> ask(ClientSession& session, std::string_view text) {
    Status status = session.query(text);
    if (status == Status::Ok)
        return std::nullopt;
    if (status == Status::Refused) {
        return failed(Outcome::RefusedQuery,
                      "\"" + std::string(text) + "\": " + std::string(session.replyBody()));
    }
    return failure(status);
}

// Reads the mode table and its values; the failure that stopped it otherwise.
std::optional<UnitResult> readModes(ClientSession& session, protocol::ModeTable& table) {
    for (const char* flag : kOpening) {
        if (auto refused = ask(session, flag))
            return refused;
    }
    if (auto refused = ask(session, ""))
        return refused;
    if (std::string why = definitionFault(session.replyBody()); !why.empty())
        return failed(Outcome::BadTable, why);
    table.readDefinitions(session.replyBody());
    if (auto refused = ask(session, "*"))
        return refused;
    table.fillValues(session.replyBody(), &protocol::ModeRecord::nvram);
    return std::nullopt;
}

std::optional<UnitResult> saveListing(const InventoryUnit& unit, const protocol::ModeTable& table,
                                      const WorkSettings& settings) {
    // Measured first: an oversized listing never takes the memory to build it.
    if (std::string why = listingFault(protocol::currentContentSize(table, unit.address));
        !why.empty())
        return failed(Outcome::TooLarge, why);
    std::string file = listingPath(settings.backupDir, unit);
    std::string content = protocol::currentContent(table, unit.address);
    std::string error;
    std::unique_lock oneAtATime(listingWrites, std::defer_lock);
    if (!settings.durable)
        oneAtATime.lock();
    if (writeFileAtomically(file, content, settings.durable, error))
        return std::nullopt;
    return failed(Outcome::WriteFailed, error);
}

// Sets every change; the first refusal or failure ends the unit's run.
std::optional<UnitResult> setAll(ClientSession& session, const std::vector<Change>& changes) {
    for (const Change& change : changes) {
        Status status = session.query(setLine(change));
        if (status == Status::Refused) {
            UnitResult result;
            result.outcome = Outcome::Refused;
            result.detail = change.mode;
            result.unitText = session.replyBody();
            return result;
        }
        if (status != Status::Ok)
            return failure(status);
    }
    return std::nullopt;
}

UnitResult mismatch(const Change& change, const std::optional<std::string>& now) {
    UnitResult result;
    result.outcome = Outcome::VerifyMismatch;
    result.detail = change.mode + " reads back " + (now ? "'" + *now + "'" : "nothing") +
                    ", not '" + change.newValue + "'";
    return result;
}

// Reads every value again and compares the changed ones with what was set,
// then asks for each changed mode once more: a value must hold on its own, so
// a unit whose value moves by itself is not committed. Values compare byte
// for byte, as they were set.
std::optional<UnitResult> verify(ClientSession& session, protocol::ModeTable& table,
                                 const std::vector<Change>& changes) {
    if (auto refused = ask(session, "*"))
        return refused;
    table.fillValues(session.replyBody(), &protocol::ModeRecord::newValue);
    for (const Change& change : changes) {
        int i = table.findMode(change.mode);
        const std::optional<std::string>& now = table[static_cast<std::size_t>(i)].newValue;
        if (!now || *now != change.newValue)
            return mismatch(change, now);
    }
    for (const Change& change : changes) {
        if (auto refused = ask(session, change.mode))
            return refused;
        std::optional<std::string> now(
            protocol::trimRight(protocol::oneModeValue(session.replyBody())));
        if (*now != change.newValue)
            return mismatch(change, now);
    }
    return std::nullopt;
}

// Commits (and restarts) a unit whose values all match the ini file; false
// and the failure when the unit refuses or the connection fails.
std::optional<UnitResult> commit(ClientSession& session, const WorkSettings& settings,
                                 UnitResult& result) {
    Status status = session.query("COMMIT=TRUE");
    if (status == Status::Refused) {
        UnitResult refused = failed(Outcome::Refused, "COMMIT");
        refused.unitText = session.replyBody();
        return refused;
    }
    if (status != Status::Ok)
        return failure(status);
    result.committed = true;
    if (settings.restart) {
        if (Status sent = session.send("RESTART=TRUE"); sent != Status::Ok)
            return failure(sent);
        result.restarted = true;
    }
    return std::nullopt;
}

// A unit that needs nothing set is committed all the same: values an earlier
// run set (or whose commit timed out) are only in working memory, and a
// restart would drop them.
UnitResult apply(ClientSession& session, protocol::ModeTable& table, const WorkSettings& settings,
                 UnitResult result) {
    auto keep = [&](UnitResult failed) {
        failed.changes = std::move(result.changes);
        failed.saved = result.saved;
        return failed;
    };
    if (!result.changes.empty()) {
        if (auto failed = setAll(session, result.changes))
            return keep(std::move(*failed));
        if (auto failed = verify(session, table, result.changes))
            return keep(std::move(*failed));
    }
    if (settings.commit) {
        if (auto failed = commit(session, settings, result))
            return keep(std::move(*failed));
    }
    result.outcome = result.changes.empty() ? Outcome::Unchanged : Outcome::Applied;
    return result;
}

UnitResult work(Command command, const InventoryUnit& unit, const WorkSettings& settings,
                ClientSession& session) {
    std::string_view target = settings.iniText;
    if (command == Command::Restore)
        target = *settings.targetFor(unit);  // workOnUnit made sure there is one
    protocol::ModeTable table;
    if (auto failed = readModes(session, table))
        return *failed;
    UnitResult result;
    if (command != Command::Diff && !settings.backupDir.empty()) {
        if (auto failed = saveListing(unit, table, settings))
            return *failed;
        result.outcome = Outcome::Saved;
        result.saved = true;
        if (command == Command::Backup)
            return result;
    }
    result.changes = plannedChanges(table, target);
    if (command == Command::Restore) {
        // A saved listing holds the unit's state as well as its settings;
        // its UnitStatus then is history, not something to put back.
        std::erase_if(result.changes, [](const Change& c) {
            return protocol::equalsIgnoreCase(c.mode, "UnitStatus");
        });
    }
    if (command == Command::Diff) {
        result.outcome = result.changes.empty() ? Outcome::NoChanges : Outcome::Changes;
        return result;
    }
    return apply(session, table, settings, std::move(result));
}

}  // namespace

std::string_view outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Saved:
            return "saved";
        case Outcome::Changes:
            return "changes";
        case Outcome::NoChanges:
            return "no changes";
        case Outcome::Applied:
            return "applied";
        case Outcome::Unchanged:
            return "unchanged";
        case Outcome::Refused:
            return "refused";
        case Outcome::VerifyMismatch:
            return "verify mismatch";
        case Outcome::Unreachable:
            return "unreachable";
        case Outcome::TimedOut:
            return "timed out";
        case Outcome::Lost:
            return "connection lost";
        case Outcome::WriteFailed:
            return "write failed";
        case Outcome::RefusedQuery:
            return "refused query";
        case Outcome::BadTable:
            return "invalid mode table";
        case Outcome::TooLarge:
            return "listing too large";
        case Outcome::OutOfMemory:
            return "out of memory";
        case Outcome::NotRun:
            return "not run";
        case Outcome::NotAttempted:
            return "not attempted";
        case Outcome::NoListing:
            return "no saved listing";
    }
    return "failed";
}

bool isFailure(Outcome outcome) {
    switch (outcome) {
        case Outcome::Saved:
        case Outcome::Changes:
        case Outcome::NoChanges:
        case Outcome::Applied:
        case Outcome::Unchanged:
            return false;
        default:
            return true;
    }
}

std::string listingPath(const std::string& dir, const InventoryUnit& unit) {
    return dir + "/" + unit.fileStem() + ".ini";
}

std::string reasonText(const UnitResult& result, const std::string& listing) {
    std::string text(outcomeName(result.outcome));
    switch (result.outcome) {
        case Outcome::Saved:
            return listing.empty() ? text : text + " " + listing;
        case Outcome::Changes:
            return std::to_string(result.changes.size()) +
                   (result.changes.size() == 1 ? " change" : " changes");
        case Outcome::Applied:
            // Appended piece by piece: mingw's GCC 12 sees a false overlap in
            // " " + std::to_string(...).
            text += ' ';
            text += std::to_string(result.changes.size());
            text += result.changes.size() == 1 ? " mode" : " modes";
            if (result.committed)
                text += ", committed";
            if (result.restarted)
                text += ", restarted";
            return text;
        case Outcome::Unchanged:
            if (!result.committed)
                return text;
            return result.restarted ? "committed, nothing to set, restarted"
                                    : "committed, nothing to set";
        case Outcome::Refused:
            return "refused mode " + result.detail;
        case Outcome::VerifyMismatch:
        case Outcome::WriteFailed:
        case Outcome::RefusedQuery:
        case Outcome::BadTable:
        case Outcome::TooLarge:
        case Outcome::NotRun:
            return text + ": " + result.detail;
        case Outcome::NotAttempted:
            return "not attempted (" + result.detail + ")";
        default:
            return text;
    }
}

std::optional<UnitResult> readUnit(const InventoryUnit& unit, const WorkSettings& settings,
                                   protocol::ClientSession& session, protocol::ModeTable& table) {
    session.setDeadline(ClientSession::Clock::now() + settings.timeout);
    if (Status status = session.connect(unit.address, settings.timeout); status != Status::Ok)
        return failure(status);
    return readModes(session, table);
}

UnitResult workOnUnit(Command command, const InventoryUnit& unit, const WorkSettings& settings,
                      protocol::ClientSession& session) {
    if (command == Command::Restore && (!settings.targetFor || settings.targetFor(unit) == nullptr)) {
        UnitResult none;  // never contacted
        none.outcome = Outcome::NoListing;
        return none;
    }
    session.setDeadline(ClientSession::Clock::now() + settings.timeout);
    if (Status status = session.connect(unit.address, settings.timeout); status != Status::Ok)
        return failure(status);
    return workOnConnectedUnit(command, unit, settings, session);
}

UnitResult workOnConnectedUnit(Command command, const InventoryUnit& unit,
                               const WorkSettings& settings, protocol::ClientSession& session) {
    UnitResult result;
    try {
        result = work(command, unit, settings, session);
    } catch (const std::bad_alloc&) {
        // Only this unit's run ends; the others go on, and the run still
        // writes its report.
        result = UnitResult{};
        result.outcome = Outcome::OutOfMemory;
    }
    session.close();
    return result;
}

}  // namespace unitfleet
