// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/listing_store.h"

namespace unitfleetd {

namespace {

bool isRefChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '_' || c == '/' || c == '-';
}

}  // namespace

bool acceptableRevision(std::string_view text) {
    constexpr std::size_t kLongest = 128;
    if (text.empty() || text.size() > kLongest)
        return false;
    // The name, then the steps back: ~N, ~, ^, ^N (N up to 4 digits).
    std::size_t end = 0;
    while (end < text.size() && isRefChar(text[end])) ++end;
    std::string_view name = text.substr(0, end);
    if (name.empty() || name.front() == '-' || name.front() == '.' || name.front() == '/' ||
        name.back() == '/' || name.back() == '.' || name.find("..") != std::string_view::npos ||
        name.find("//") != std::string_view::npos || name.ends_with(".lock"))
        return false;
    for (std::size_t i = end; i < text.size();) {
        if (text[i] != '~' && text[i] != '^')
            return false;
        std::size_t digits = 0;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            if (++digits > 4)
                return false;
    }
    return true;
}

ListingStore::ListingStore(std::string folder) : folder_(std::move(folder)) {}

void ListingStore::setFolder(std::string folder) {
    std::lock_guard lock(mutex_);
    if (folder == folder_)
        return;
    folder_ = std::move(folder);
    cachedHead_.clear();
    histories_.clear();
}

std::string ListingStore::folder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

std::optional<std::string> ListingStore::head(std::string& error) {
    return unitfleet::headRevision(folder(), error);
}

std::shared_ptr<const History> ListingStore::history(const std::string& stem, std::string& error) {
    auto now = head(error);
    if (!now)
        return nullptr;
    if (now->empty())
        return std::make_shared<const History>();
    {
        std::lock_guard lock(mutex_);
        if (cachedHead_ != *now) {
            cachedHead_ = *now;
            histories_.clear();
        }
        if (auto it = histories_.find(stem); it != histories_.end())
            return it->second;
    }
    // Walked outside the lock: two workers may walk the same unit at once,
    // which costs time, never a wrong answer.
    auto walked = unitfleet::readHistory(folder(), stem, std::nullopt, {}, error);
    if (!walked)
        return nullptr;
    auto shared = std::make_shared<const History>(std::move(*walked));
    // Only a walk from the HEAD it began at is kept; a commit since then
    // makes it stale, and the next ask walks again.
    std::string after;
    auto headAfter = head(after);
    std::lock_guard lock(mutex_);
    if (headAfter && *headAfter == *now && cachedHead_ == *now) {
        if (histories_.size() >= kMostHistories)
            histories_.clear();
        histories_[stem] = shared;
    }
    return shared;
}

std::optional<std::string> ListingStore::resolve(const std::string& revision, std::string& error) {
    return unitfleet::resolveRevision(folder(), revision, error);
}

std::optional<std::map<std::string, std::string>> ListingStore::listingsAt(
    const std::string& revision, const std::vector<std::string>& stems, std::string& error) {
    return unitfleet::listingsAt(folder(), revision, stems, error);
}

std::optional<std::string> ListingStore::listingAt(const std::string& fullRevision,
                                                   const std::string& stem, std::string& error) {
    auto key = std::make_pair(fullRevision, stem);
    {
        std::lock_guard lock(mutex_);
        if (auto it = listings_.find(key); it != listings_.end())
            return it->second;
    }
    auto found = listingsAt(fullRevision, {stem}, error);
    if (!found || !found->contains(stem))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    if (listings_.size() >= kMostListings)
        listings_.clear();
    return listings_[key] = found->at(stem);
}

}  // namespace unitfleetd
