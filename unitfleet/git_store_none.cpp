// SPDX-License-Identifier: Apache-2.0
// A build without libgit2 (SUITE_WITH_LIBGIT2 off, as in the Windows build:
// Debian packages none for mingw): the history commands say so instead of
// running without a record.
#include "unitfleet/git_store.h"

namespace unitfleet {

namespace {

constexpr const char* kNoGit = "this build of unitfleet keeps no git history (no libgit2)";

}  // namespace

std::optional<GitCommit> commitListings(const std::string&, const GitRun&, std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

bool checkStoreBranch(const std::string&, std::string& error) {
    error = kNoGit;
    return false;
}

std::optional<std::string> listingAt(const std::string&, const std::string&, const std::string&,
                                     std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

std::optional<std::vector<HistoryEntry>> readHistory(const std::string&, const std::string&,
                                                     std::optional<std::time_t>,
                                                     const VolatileModes&, std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

std::optional<std::string> resolveRevision(const std::string&, const std::string&,
                                           std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

std::optional<std::string> headRevision(const std::string&, std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

std::optional<std::map<std::string, std::string>> listingsAt(const std::string&,
                                                             const std::string&,
                                                             const std::vector<std::string>&,
                                                             std::string& error) {
    error = kNoGit;
    return std::nullopt;
}

}  // namespace unitfleet
