// SPDX-License-Identifier: Apache-2.0
// One unit in detail: its last listing and drift, its history in the store,
// and diffs of its listings and of two units' listings. A unit is named by
// its key and found in the inventory; its listing is reached through the
// inventory's file stem alone, so no text from a request or a unit becomes
// a path. The store is read on a worker thread.
#include "unitfleetd/api_detail.h"

#include "unitfleet/listing_changes.h"
#include "unitfleetd/api.h"
#include "unitfleetd/baselines.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {

using nlohmann::json;

json orNull(const std::optional<std::string>& value) {
    return value ? json(*value) : json(nullptr);
}

const unitfleet::InventoryUnit* findUnit(const ApiContext& c, const std::string& key) {
    for (const auto& unit : c.inventory->units)
        if (unitKey(unit) == key)
            return &unit;
    return nullptr;
}

std::string queryText(const HttpRequest& request, const std::string& name) {
    auto it = request.query.find(name);
    return it == request.query.end() ? std::string() : it->second;
}

void onWorker(ApiContext& c, Reply reply, std::function<HttpResponse()> work) {
    c.offload([reply, work = std::move(work)] { reply(work()); }, [] {});
}

namespace {

json modeChangesJson(const std::vector<unitfleet::ModeChange>& changes) {
    json list = json::array();
    for (const auto& change : changes) {
        const char* kind = change.before && change.after ? "changed"
                           : change.before               ? "only_in_a"
                                                         : "only_in_b";
        list.push_back(
            {{"mode", change.mode},
             {"change", kind},
             {"a", orNull(change.before)},
             {"b", orNull(change.after)},
             {"identity", change.mode == "TargetIP" || unitfleet::isIdentityMode(change.mode)}});
    }
    return list;
}

json historyJson(const unitfleet::HistoryEntry& entry) {
    json changes = json::array();
    for (const auto& unit : entry.units)
        for (const auto& change : unit.changes)
            changes.push_back({{"mode", change.mode},
                               {"before", orNull(change.before)},
                               {"after", orNull(change.after)}});
    bool added = false, removed = false;
    for (const auto& unit : entry.units) {
        added = added || unit.added;
        removed = removed || unit.removed;
    }
    return {{"revision", entry.revision}, {"short", entry.id},        {"time", entry.time},
            {"author", entry.author},     {"subject", entry.summary}, {"added", added},
            {"removed", removed},         {"changes", changes}};
}

HttpResponse storeFault(const std::string& error) {
    return errorAnswer(500, "cannot read the store: " + error);
}

// The listing `unit`'s history ends with, and its drift from `baseline`.
HttpResponse unitDetail(ListingStore& listings, const std::string& stem,
                        const std::optional<Baseline>& baseline,
                        const std::vector<std::string>& groups, json summary) {
    std::string error;
    auto history = listings.history(stem, error);
    if (!history)
        return storeFault(error);
    summary["baseline"] =
        groups.empty() ? json(nullptr) : json{{"group", groups.front()}, {"groups", groups}};
    summary["listing"] = nullptr;
    summary["drift"] = nullptr;
    summary["drift_modes"] = -1;
    // A one-unit history has the unit alone in each entry.
    if (history->empty() || history->front().units.empty() || history->front().units[0].removed)
        return jsonAnswer(200, summary);
    const auto& last = history->front();
    error.clear();
    auto text = listings.listingAt(last.revision, stem, error);
    if (!text && !error.empty())
        return storeFault(error);
    json listing = {{"revision", last.revision}, {"time", last.time}};
    auto read = !text ? std::nullopt : unitfleet::readListing(*text, error);
    if (!read) {
        listing["error"] = !text ? "no listing" : "damaged listing: " + error;
        listing["modes"] = json::array();
        summary["listing"] = listing;
        return jsonAnswer(200, summary);
    }
    json modes = json::array();
    for (const auto& m : read->modes) modes.push_back({{"mode", m.name}, {"value", m.value}});
    listing["target"] = read->target;
    listing["modes"] = modes;
    summary["listing"] = listing;
    if (baseline && baseline->usable()) {
        json drift = json::array();
        auto found = driftOf(*read, baseline->settings);
        for (const auto& d : found)
            drift.push_back({{"mode", d.mode}, {"baseline", d.baseline}, {"unit", orNull(d.unit)}});
        summary["drift"] = {{"count", found.size()}, {"modes", drift}};
        summary["drift_modes"] = found.size();
    } else if (baseline) {
        summary["drift"] = {{"count", nullptr},
                            {"modes", json::array()},
                            {"error", "the baseline of " + baseline->group + " has faults"}};
    }
    return jsonAnswer(200, summary);
}

HttpResponse unitHistory(ListingStore& listings, const std::string& key, const std::string& stem,
                         long long page, long long perPage) {
    std::string error;
    auto head = listings.head(error);
    auto history = head ? listings.history(stem, error) : nullptr;
    if (!history)
        return storeFault(error);
    json commits = json::array();
    auto first = static_cast<std::size_t>((page - 1) * perPage);
    for (std::size_t i = first; i < history->size() && i < first + perPage; ++i)
        commits.push_back(historyJson((*history)[i]));
    return jsonAnswer(200, {{"unit", key},
                            {"head", head->empty() ? json(nullptr) : json(*head)},
                            {"total", history->size()},
                            {"page", page},
                            {"per_page", perPage},
                            {"commits", commits}});
}

std::optional<std::string> resolveOrAnswer(ListingStore& listings, const std::string& revision,
                                           HttpResponse& answer) {
    std::string error;
    auto head = listings.head(error);
    if (!head)
        return answer = storeFault(error), std::nullopt;
    auto full = head->empty() ? std::nullopt : listings.resolve(revision, error);
    if (!full)
        answer = errorAnswer(404, "no revision '" + revision + "' in the store");
    return full;
}

HttpResponse diffListings(ListingStore& listings, const std::string& revisionA,
                          const std::string& revisionB, const std::string& stemA,
                          const std::string& stemB, json answer) {
    HttpResponse fault;
    auto a = resolveOrAnswer(listings, revisionA, fault);
    auto b = a ? resolveOrAnswer(listings, revisionB, fault) : std::nullopt;
    if (!b)
        return fault;
    std::string error;
    auto textA = listings.listingAt(*a, stemA, error);
    auto textB = error.empty() ? listings.listingAt(*b, stemB, error) : std::nullopt;
    if (!error.empty())
        return storeFault(error);
    if (!textA || !textB)
        return errorAnswer(404, std::string("no listing of ") + (!textA ? "a" : "b") + " at " +
                                    (!textA ? revisionA : revisionB));
    answer["changes"] = modeChangesJson(unitfleet::listingChanges(*textA, *textB, {}));
    answer["revisions"] = {{"a", *a}, {"b", *b}};
    return jsonAnswer(200, answer);
}

}  // namespace

void answerUnitDetail(ApiContext& c, const unitfleet::InventoryUnit& unit, json summary,
                      Reply reply) {
    auto groups = baselineGroups(*c.config, unit);
    auto baseline = groups.empty() ? std::nullopt : readBaseline(*c.config, groups.front());
    onWorker(c, std::move(reply),
             [&listings = c.detail->listings, stem = unit.fileStem(), baseline, groups,
              summary = std::move(summary)]() mutable {
                 return unitDetail(listings, stem, baseline, groups, std::move(summary));
             });
}

void addDetailRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/units/{name}/history", Role::Viewer,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   const auto& key = call->params["name"];
                   const auto* unit = findUnit(c, key);
                   if (unit == nullptr)
                       return reply(errorAnswer(404, "no unit '" + key + "' in the inventory"));
                   auto page = queryNumber(call->request, "page", 1, 1, 1000000);
                   auto perPage = queryNumber(call->request, "per_page", 50, 1, 500);
                   if (!page || !perPage)
                       return reply(errorAnswer(400,
                                                "page and per_page must be whole numbers "
                                                "(page from 1, per_page 1 to 500)"));
                   onWorker(c, std::move(reply),
                            [&listings = c.detail->listings, key, stem = unit->fileStem(),
                             page = *page, perPage = *perPage] {
                                return unitHistory(listings, key, stem, page, perPage);
                            });
               });
    router.add(
        "GET", "/api/v1/units/{name}/diff", Role::Viewer,
        [&c](std::shared_ptr<Call> call, Reply reply) {
            const auto& key = call->params["name"];
            const auto* unit = findUnit(c, key);
            if (unit == nullptr)
                return reply(errorAnswer(404, "no unit '" + key + "' in the inventory"));
            std::string to = queryText(call->request, "to");
            std::string from = queryText(call->request, "from");
            if (to.empty())
                to = "HEAD";
            if (from.empty())
                from = to + "~1";
            for (const auto* r : {&from, &to})
                if (!acceptableRevision(*r))
                    return reply(
                        errorAnswer(400, "not a revision: use HEAD, HEAD~N, a commit id or a tag"));
            json answer = {{"unit", key}, {"a", from}, {"b", to}};
            onWorker(c, std::move(reply),
                     [&listings = c.detail->listings, stem = unit->fileStem(), from, to, answer] {
                         return diffListings(listings, from, to, stem, stem, answer);
                     });
        });
    router.add("GET", "/api/v1/diff", Role::Viewer, [&c](std::shared_ptr<Call> call, Reply reply) {
        std::string a = queryText(call->request, "a"), b = queryText(call->request, "b");
        std::string rev = queryText(call->request, "rev");
        if (rev.empty())
            rev = "HEAD";
        if (a.empty() || b.empty())
            return reply(errorAnswer(400, "give the units to compare as a=UNIT&b=UNIT"));
        if (!acceptableRevision(rev))
            return reply(
                errorAnswer(400, "not a revision: use HEAD, HEAD~N, a commit id or a tag"));
        const auto* unitA = findUnit(c, a);
        const auto* unitB = findUnit(c, b);
        if (unitA == nullptr || unitB == nullptr)
            return reply(
                errorAnswer(404, "no unit '" + (unitA == nullptr ? a : b) + "' in the inventory"));
        json answer = {{"a", a}, {"b", b}, {"revision", rev}};
        onWorker(c, std::move(reply),
                 [&listings = c.detail->listings, rev, stemA = unitA->fileStem(),
                  stemB = unitB->fileStem(),
                  answer] { return diffListings(listings, rev, rev, stemA, stemB, answer); });
    });
}

}  // namespace unitfleetd
