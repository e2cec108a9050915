// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/unit_work.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "platform/atomic_file.h"
#include "protocol/mode_listing.h"
#include "protocol/text.h"
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

UnitFailure failureOf(Status status, const ClientSession& session) {
    switch (status) {
        case Status::Unresolved:
            return {Outcome::Unresolved, session.cause(), {}};
        case Status::Unreachable:
            return {Outcome::Unreachable, session.cause(), {}};
        case Status::TimedOut:
            return {Outcome::TimedOut, {}, {}};
        default:
            return {Outcome::Lost, {}, {}};
    }
}

bool fail(UnitFailure& failure, Outcome outcome, std::string detail) {
    failure = {outcome, std::move(detail), {}};
    return false;
}

// A stop signal ends a unit between steps, never between a set and its
// read-back: once the first set is out, the unit is seen through.
bool stopAsked(const WorkSettings& settings, UnitFailure& failure, const char* when) {
    if (!unitfleet::stopAsked(settings.control))
        return false;
    failure = {Outcome::Interrupted, when, {}};
    return true;
}

// Sends a query the run depends on: a refusal fails the unit as surely as a
// broken connection, with the unit's own text as the reason, since a
// refused "" or "*" answers with an error text instead of the modes.
bool ask(ClientSession& session, std::string_view text, UnitFailure& failure) {
    Status status = session.query(text);
    if (status == Status::Ok)
        return true;
    if (status == Status::Refused) {
        return fail(failure, Outcome::RefusedQuery,
                    "\"" + std::string(text) + "\": " + std::string(session.replyBody()));
    }
    failure = failureOf(status, session);
    return false;
}

// Reads the mode table and its values.
bool readModes(ClientSession& session, protocol::ModeTable& table, UnitFailure& failure) {
    for (const char* flag : kOpening) {
        if (!ask(session, flag, failure))
            return false;
    }
    if (!ask(session, "", failure))
        return false;
    if (std::string why; !definitionFits(session.replyBody(), why))
        return fail(failure, Outcome::BadTable, why);
    table.readDefinitions(session.replyBody());
    if (!ask(session, "*", failure))
        return false;
    table.fillValues(session.replyBody(), &protocol::ModeRecord::nvram);
    return true;
}

bool saveListing(const InventoryUnit& unit, const protocol::ModeTable& table,
                 const WorkSettings& settings, UnitFailure& failure) {
    std::string target = unit.target();
    // Measured first: an oversized listing never takes the memory to build it.
    if (std::string why; !listingFits(protocol::currentContentSize(table, target), why))
        return fail(failure, Outcome::TooLarge, why);
    std::string file = listingPath(settings.backupDir, unit);
    std::string content = protocol::currentContent(table, target);
    std::string error;
    std::unique_lock oneAtATime(listingWrites, std::defer_lock);
    if (!settings.durable)
        oneAtATime.lock();
    if (platform::writeFileAtomically(file, content, settings.durable, error))
        return true;
    return fail(failure, Outcome::WriteFailed, error);
}

bool isReadOnlyRefusal(std::string_view text) {
    return text.find("read-only") != std::string_view::npos ||
           text.find("read only") != std::string_view::npos;
}

// Sets every change; the first refusal or failure ends the unit's run. On a
// restore a mode the unit refuses as read-only is identity, left as it is.
bool setAll(ClientSession& session, Command command, UnitResult& result, UnitFailure& failure) {
    std::vector<Change> set;
    for (Change& change : result.changes) {
        Status status = session.query(setLine(change));
        if (status == Status::Refused && command == Command::Restore &&
            isReadOnlyRefusal(session.replyBody())) {
            result.notRestored.push_back(change.mode);
            continue;
        }
        if (status == Status::Refused) {
            failure = {Outcome::Refused, change.mode, std::string(session.replyBody())};
            return false;
        }
        if (status != Status::Ok) {
            failure = failureOf(status, session);
            return false;
        }
        result.sent.push_back(change.mode);
        set.push_back(std::move(change));
    }
    result.changes = std::move(set);
    return true;
}

bool mismatch(const Change& change, const std::optional<std::string>& now, UnitFailure& failure) {
    return fail(failure, Outcome::VerifyMismatch,
                change.mode + " reads back " + (now ? "'" + *now + "'" : "nothing") + ", not '" +
                    change.newValue + "'");
}

// Reads every value again and compares the changed ones with what was set,
// then asks for each changed mode once more: a value must hold on its own, so
// a unit whose value moves by itself is not committed. Values compare byte
// for byte, as they were set.
bool verify(ClientSession& session, protocol::ModeTable& table, const std::vector<Change>& changes,
            UnitFailure& failure) {
    if (!ask(session, "*", failure))
        return false;
    table.fillValues(session.replyBody(), &protocol::ModeRecord::newValue);
    for (const Change& change : changes) {
        int i = table.findMode(change.mode);
        const std::optional<std::string>& now = table[static_cast<std::size_t>(i)].newValue;
        if (!now || *now != change.newValue)
            return mismatch(change, now, failure);
    }
    for (const Change& change : changes) {
        if (!ask(session, change.mode, failure))
            return false;
        std::optional<std::string> now(
            protocol::trimRight(protocol::oneModeValue(session.replyBody())));
        if (*now != change.newValue)
            return mismatch(change, now, failure);
    }
    return true;
}

// Commits (and restarts) a unit whose values all match.
bool commit(ClientSession& session, const WorkSettings& settings, UnitResult& result,
            UnitFailure& failure) {
    Status status = session.query("COMMIT=TRUE");
    if (status == Status::Refused) {
        failure = {Outcome::Refused, "COMMIT", std::string(session.replyBody())};
        return false;
    }
    if (status != Status::Ok) {
        failure = failureOf(status, session);
        return false;
    }
    result.committed = true;
    if (settings.restart) {
        if (Status sent = session.send("RESTART=TRUE"); sent != Status::Ok) {
            failure = failureOf(sent, session);
            return false;
        }
        result.restarted = true;
    }
    return true;
}

// The failure, keeping what the run already did to the unit.
UnitResult failedAfter(UnitResult done, UnitFailure failure) {
    done.outcome = failure.outcome;
    done.detail = std::move(failure.detail);
    done.unitText = std::move(failure.unitText);
    return done;
}

// A unit that needs nothing set is committed all the same: values an earlier
// run set (or whose commit timed out) are only in working memory, and a
// restart would drop them.
UnitResult apply(ClientSession& session, protocol::ModeTable& table, Command command,
                 const WorkSettings& settings, UnitResult result) {
    UnitFailure failure;
    if (!result.changes.empty()) {
        if (!setAll(session, command, result, failure))
            return failedAfter(std::move(result), std::move(failure));
        if (!verify(session, table, result.changes, failure))
            return failedAfter(std::move(result), std::move(failure));
    }
    if (settings.commit && !commit(session, settings, result, failure))
        return failedAfter(std::move(result), std::move(failure));
    result.outcome = result.changes.empty() ? Outcome::Unchanged : Outcome::Applied;
    return result;
}

// The settings a restore puts back: the listing's modes less identity ones.
// Those the unit holds another value of are named (a replaced unit's
// SerialNumber, say); the clock always moved and goes unnamed.
std::vector<ModeSetting> restoreSettings(const Listing& listing, const protocol::ModeTable& table,
                                         UnitResult& result) {
    std::vector<ModeSetting> wanted;
    for (const ModeSetting& mode : listing.modes) {
        if (!isIdentityMode(mode.name)) {
            wanted.push_back(mode);
            continue;
        }
        int i = table.findMode(mode.name);
        const std::optional<std::string>* now =
            i < 0 ? nullptr : &table[static_cast<std::size_t>(i)].nvram;
        if (!protocol::equalsIgnoreCase(mode.name, "DateTime") && now != nullptr &&
            *now != mode.value)
            result.notRestored.push_back(mode.name);
    }
    return wanted;
}

// Holds the settings against the unit's table: modes it lacks fail it (or
// are skipped and named), values that do not fit its types fail it.
bool checkAgainstTable(const protocol::ModeTable& table, std::vector<ModeSetting>& wanted,
                       const WorkSettings& settings, Command command, UnitResult& result,
                       UnitFailure& failure) {
    std::vector<std::string> unknown = unknownModes(table, wanted);
    if (command == Command::Restore && unknown.size() == wanted.size() && !settings.force)
        return fail(failure, Outcome::BadListing, "the listing names no mode the unit has");
    if (!unknown.empty() && !settings.skipUnknown) {
        std::string text;
        for (const std::string& name : unknown)
            text += (text.empty() ? "" : "; ") + noModeText(table, name);
        return fail(failure, Outcome::UnknownMode, text);
    }
    result.skipped = std::move(unknown);
    std::erase_if(wanted, [&](const ModeSetting& s) { return table.findMode(s.name) < 0; });
    std::vector<std::string> faults = valueFaults(table, wanted);
    if (!faults.empty()) {
        std::string text;
        for (const std::string& fault : faults) text += (text.empty() ? "" : "; ") + fault;
        return fail(failure, Outcome::BadValue, text);
    }
    return true;
}

UnitResult work(Command command, std::size_t index, const InventoryUnit& unit,
                const WorkSettings& settings, ClientSession& session) {
    protocol::ModeTable table;
    UnitFailure failure;
    if (!readModes(session, table, failure))
        return resultOf(std::move(failure));
    UnitResult result;
    if (command != Command::Diff && !settings.backupDir.empty()) {
        if (!saveListing(unit, table, settings, failure))
            return resultOf(std::move(failure));
        result.outcome = Outcome::Saved;
        result.saved = true;
        if (command == Command::Backup)
            return result;
    }
    std::vector<ModeSetting> wanted =
        command == Command::Restore
            ? restoreSettings(*(*settings.targets)[index].listing, table, result)
            : settings.settings;
    if (!checkAgainstTable(table, wanted, settings, command, result, failure))
        return failedAfter(std::move(result), std::move(failure));
    result.changes = plannedChanges(table, wanted);
    if (command == Command::Diff) {
        result.outcome = result.changes.empty() ? Outcome::NoChanges : Outcome::Changes;
        return result;
    }
    if (stopAsked(settings, failure, "before any set"))
        return failedAfter(std::move(result), std::move(failure));
    return apply(session, table, command, settings, std::move(result));
}

}  // namespace

std::string pathInFolder(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string listingPath(const std::string& dir, const InventoryUnit& unit) {
    return pathInFolder(dir, unit.fileStem() + ".ini");
}

bool readUnit(const InventoryUnit& unit, const WorkSettings& settings,
              protocol::ClientSession& session, protocol::ModeTable& table, UnitFailure& failure) {
    session.setDeadline(ClientSession::Clock::now() + settings.timeout);
    if (Status status = session.connect(unit.address, settings.timeout, unit.port);
        status != Status::Ok) {
        failure = failureOf(status, session);
        return false;
    }
    return readModes(session, table, failure);
}

UnitResult workOnUnit(Command command, std::size_t index, const InventoryUnit& unit,
                      const WorkSettings& settings, protocol::ClientSession& session) {
    if (command == Command::Restore) {
        const RestoreTarget* target =
            settings.targets != nullptr && index < settings.targets->size()
                ? &(*settings.targets)[index]
                : nullptr;
        if (target == nullptr || !target->found)
            return resultOf({Outcome::NoListing, {}, {}});  // never contacted
        if (!target->listing)
            return resultOf({Outcome::BadListing, target->fault, {}});
    }
    UnitFailure failure;
    if (stopAsked(settings, failure, "before it was contacted"))
        return resultOf(std::move(failure));
    session.setDeadline(ClientSession::Clock::now() + settings.timeout);
    if (Status status = session.connect(unit.address, settings.timeout, unit.port);
        status != Status::Ok)
        return resultOf(failureOf(status, session));
    return workOnConnectedUnit(command, index, unit, settings, session);
}

UnitResult workOnConnectedUnit(Command command, std::size_t index, const InventoryUnit& unit,
                               const WorkSettings& settings, protocol::ClientSession& session) {
    UnitResult result;
    try {
        result = work(command, index, unit, settings, session);
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
