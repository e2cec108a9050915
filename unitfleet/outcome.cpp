// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/outcome.h"

namespace unitfleet {

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// What the run did to a unit before it failed, so a half-changed unit is
// never passed off as untouched.
std::string afterSets(const UnitResult& result) {
    if (result.sent.empty() || !isFailure(result.outcome))
        return {};
    return " after setting " + joined(result.sent) + (result.committed ? "" : "; not committed");
}

std::string notes(const UnitResult& result) {
    std::string text;
    if (!result.notRestored.empty())
        text += "; not restored: identity " + joined(result.notRestored);
    if (!result.skipped.empty())
        text += "; skipped, not on the unit: " + joined(result.skipped);
    return text;
}

std::string mainText(const UnitResult& result, const std::string& listing) {
    std::string text(outcomeName(result.outcome));
    switch (result.outcome) {
        case Outcome::Saved:
            return listing.empty() ? text : text + " " + listing;
        case Outcome::Changes:
            return countOf(result.changes.size(), "change", "changes");
        case Outcome::Applied:
            text += ' ';
            text += countOf(result.changes.size(), "mode", "modes");
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
        case Outcome::UnknownMode:
        case Outcome::BadListing:
            return result.detail;
        case Outcome::Unresolved:
            // The resolver's message names the outcome already.
            return result.detail.empty() ? text : result.detail;
        case Outcome::NotAttempted:
        case Outcome::Interrupted:
            return result.detail.empty() ? text : text + " (" + result.detail + ")";
        default:
            return result.detail.empty() ? text : text + ": " + result.detail;
    }
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
        case Outcome::Unresolved:
            return "cannot resolve";
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
        case Outcome::UnknownMode:
            return "unknown mode";
        case Outcome::BadValue:
            return "bad value";
        case Outcome::BadListing:
            return "bad listing";
        case Outcome::NotRun:
            return "not run";
        case Outcome::NotAttempted:
            return "not attempted";
        case Outcome::Interrupted:
            return "interrupted";
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

UnitResult resultOf(UnitFailure failure) {
    UnitResult result;
    result.outcome = failure.outcome;
    result.detail = std::move(failure.detail);
    result.unitText = std::move(failure.unitText);
    return result;
}

std::string reasonText(const UnitResult& result, const std::string& listing) {
    return mainText(result, listing) + afterSets(result) + notes(result);
}

std::string countOf(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace unitfleet
