// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/git_store.h"

#include <git2.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/atomic_file.h"
#include "unitfleet/inventory.h"

namespace unitfleet {

namespace {

namespace fs = std::filesystem;

constexpr const char* kAuthor = "unitfleet";
constexpr const char* kAuthorEmail = "unitfleet@localhost";
constexpr std::string_view kListingSuffix = ".ini";

// libgit2 is set up once per process and stays up until it ends.
void initLibrary() {
    static const int once = git_libgit2_init();
    (void)once;
}

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

using Repository = Owned<git_repository, git_repository_free>;
using Commit = Owned<git_commit, git_commit_free>;
using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Index = Owned<git_index, git_index_free>;
using Object = Owned<git_object, git_object_free>;
using Reference = Owned<git_reference, git_reference_free>;
using Signature = Owned<git_signature, git_signature_free>;
using RevWalk = Owned<git_revwalk, git_revwalk_free>;

std::string lastError(const std::string& what) {
    const git_error* e = git_error_last();
    return what + ": " + (e != nullptr && e->message != nullptr ? e->message : "unknown error");
}

std::string shortId(const git_oid& id) {
    char text[GIT_OID_HEXSZ + 1];
    git_oid_tostr(text, sizeof text, &id);
    return std::string(text, 7);
}

bool isListingName(std::string_view name) {
    return name.size() > kListingSuffix.size() && name.ends_with(kListingSuffix) && name[0] != '.';
}

std::string stemOf(std::string_view file) {
    return std::string(file.substr(0, file.size() - kListingSuffix.size()));
}

Repository openRepository(const std::string& dir, bool create, std::string& error) {
    initLibrary();
    git_repository* repo = nullptr;
    int rc = git_repository_open_ext(&repo, dir.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr);
    if (rc == GIT_ENOTFOUND && create)
        rc = git_repository_init(&repo, dir.c_str(), 0);
    if (rc != 0) {
        error = rc == GIT_ENOTFOUND ? dir + " is not a git repository"
                                    : lastError("cannot open the repository in " + dir);
        return nullptr;
    }
    return Repository(repo);
}

// The tree of HEAD; nothing in a repository without commits yet.
std::optional<Tree> headTree(git_repository* repo, Commit& head, std::string& error) {
    git_reference* ref = nullptr;
    int rc = git_repository_head(&ref, repo);
    if (rc == GIT_EUNBORNBRANCH || rc == GIT_ENOTFOUND)
        return Tree();
    if (rc != 0) {
        error = lastError("cannot read HEAD");
        return std::nullopt;
    }
    Reference owned(ref);
    git_object* object = nullptr;
    git_tree* tree = nullptr;
    if (git_reference_peel(&object, ref, GIT_OBJECT_COMMIT) != 0) {
        error = lastError("cannot read HEAD");
        return std::nullopt;
    }
    head.reset(reinterpret_cast<git_commit*>(object));
    if (git_commit_tree(&tree, head.get()) != 0) {
        error = lastError("cannot read HEAD's tree");
        return std::nullopt;
    }
    return Tree(tree);
}

std::optional<std::string> blobText(git_repository* repo, const git_oid& id) {
    git_blob* blob = nullptr;
    if (git_blob_lookup(&blob, repo, &id) != 0)
        return std::nullopt;
    Blob owned(blob);
    return std::string(static_cast<const char*>(git_blob_rawcontent(blob)),
                       static_cast<std::size_t>(git_blob_rawsize(blob)));
}

// The listings at the top of a tree: file name -> blob id.
std::map<std::string, git_oid> treeListings(const git_tree* tree) {
    std::map<std::string, git_oid> listings;
    if (tree == nullptr)
        return listings;
    for (std::size_t i = 0, n = git_tree_entrycount(tree); i < n; ++i) {
        const git_tree_entry* entry = git_tree_entry_byindex(tree, i);
        if (git_tree_entry_type(entry) == GIT_OBJECT_BLOB &&
            isListingName(git_tree_entry_name(entry)))
            listings.emplace(git_tree_entry_name(entry), *git_tree_entry_id(entry));
    }
    return listings;
}

// The listings in the folder itself: file name -> content.
std::map<std::string, std::string> folderListings(const std::string& dir) {
    std::map<std::string, std::string> listings;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (!isListingName(name) || !entry.is_regular_file(ec))
            continue;
        if (std::optional<std::string> text = readTextFile(entry.path().string()))
            listings.emplace(name, std::move(*text));
    }
    return listings;
}

struct Staged {
    std::map<std::string, std::string> add;  // file name -> content
    std::vector<std::string> remove;
    std::vector<std::string> lines;  // one per changed unit, for the message
    std::vector<std::string> leftOut;
};

std::string joinModes(const std::vector<ModeChange>& changes) {
    std::string text;
    for (const ModeChange& change : changes) text += (text.empty() ? "" : ", ") + change.mode;
    return text;
}

// Decides per listing of this run what goes into the commit; puts back the
// committed content of listings that differ in volatile modes only. The
// folder's other listings are only looked at, to warn about them.
std::optional<Staged> stageChanges(git_repository* repo, const std::string& dir,
                                   const git_tree* tree, const GitRun& run, std::string& error) {
    Staged staged;
    std::map<std::string, git_oid> committed = treeListings(tree);
    std::map<std::string, std::string> present = folderListings(dir);
    std::set<std::string> ours;
    for (const std::string& stem : run.stems) ours.insert(stem + std::string(kListingSuffix));
    for (const auto& [name, text] : present) {
        auto old = committed.find(name);
        std::optional<std::string> before;
        if (old != committed.end())
            before = blobText(repo, old->second);
        if (!ours.contains(name)) {
            if (!before || *before != text)
                staged.leftOut.push_back(name);
            continue;
        }
        if (!before) {
            staged.add.emplace(name, text);
            staged.lines.push_back(stemOf(name) + ": new listing");
            continue;
        }
        if (*before == text)
            continue;
        std::vector<ModeChange> changes = listingChanges(*before, text, run.volatileModes);
        if (changes.empty() && listingEntries(*before).size() == listingEntries(text).size()) {
            if (!platform::writeFileAtomically(dir + "/" + name, *before, false, error))
                return std::nullopt;
            continue;
        }
        staged.add.emplace(name, text);
        staged.lines.push_back(
            stemOf(name) + ": " +
            (changes.empty() ? std::string("listing rewritten") : joinModes(changes)));
    }
    for (const std::string& name : ours) {
        if (committed.contains(name) && !present.contains(name)) {
            staged.remove.push_back(name);
            staged.lines.push_back(stemOf(name) + ": listing removed");
        }
    }
    return staged;
}

// The commit's tree: HEAD's tree with this run's listings put in or taken
// out, built without the index, so nothing the user staged slips in.
std::optional<git_oid> writeTree(git_repository* repo, const git_tree* tree, const Staged& staged,
                                 std::string& error) {
    git_treebuilder* raw = nullptr;
    if (git_treebuilder_new(&raw, repo, tree) != 0) {
        error = lastError("cannot build the commit's tree");
        return std::nullopt;
    }
    Owned<git_treebuilder, git_treebuilder_free> builder(raw);
    for (const auto& [name, text] : staged.add) {
        git_oid blob;
        if (git_blob_create_from_buffer(&blob, repo, text.data(), text.size()) != 0 ||
            git_treebuilder_insert(nullptr, raw, name.c_str(), &blob, GIT_FILEMODE_BLOB) != 0) {
            error = lastError("cannot store " + name);
            return std::nullopt;
        }
    }
    for (const std::string& name : staged.remove) {
        if (git_treebuilder_remove(raw, name.c_str()) != 0) {
            error = lastError("cannot take out " + name);
            return std::nullopt;
        }
    }
    git_oid id;
    if (git_treebuilder_write(&id, raw) != 0) {
        error = lastError("cannot build the commit's tree");
        return std::nullopt;
    }
    return id;
}

// The index agrees with the new commit for this run's listings, and keeps
// everything else the user staged. A failure here costs only a stale
// `git status`, never the commit.
void updateIndex(git_repository* repo, const Staged& staged) {
    git_index* raw = nullptr;
    if (git_repository_index(&raw, repo) != 0)
        return;
    Index index(raw);
    for (const auto& [name, text] : staged.add) git_index_add_bypath(raw, name.c_str());
    for (const std::string& name : staged.remove) git_index_remove_bypath(raw, name.c_str());
    git_index_write(raw);
}

std::string summaryLine(const GitRun& run, std::size_t changedListings) {
    std::string line = run.verb + " of " + std::to_string(run.units) +
                       (run.units == 1 ? " unit" : " units") + run.state + ": " +
                       std::to_string(run.changed.value_or(changedListings)) + " changed, " +
                       std::to_string(run.failed) + " failed";
    if (run.notAttempted > 0)
        line += ", " + std::to_string(run.notAttempted) + " not attempted";
    return line;
}

constexpr const char* kBranchKey = "unitfleet.branch";

// The branch HEAD names (also before its first commit); nothing when HEAD
// is detached.
std::optional<std::string> headBranch(git_repository* repo) {
    if (git_repository_head_detached(repo) == 1)
        return std::nullopt;
    git_reference* head = nullptr;
    if (git_reference_lookup(&head, repo, "HEAD") != 0)
        return std::nullopt;
    Reference owned(head);
    const char* target = git_reference_symbolic_target(head);
    if (target == nullptr)
        return std::nullopt;
    std::string name = target;
    constexpr std::string_view kHeads = "refs/heads/";
    return name.starts_with(kHeads) ? name.substr(kHeads.size()) : name;
}

bool checkBranch(git_repository* repo, const std::string& dir, std::string& error) {
    std::optional<std::string> branch = headBranch(repo);
    git_config* rawConfig = nullptr;
    if (git_repository_config(&rawConfig, repo) != 0) {
        error = lastError("cannot read the configuration of " + dir);
        return false;
    }
    Owned<git_config, git_config_free> config(rawConfig);
    git_buf stored = GIT_BUF_INIT;
    std::optional<std::string> storeBranch;
    if (git_config_get_string_buf(&stored, rawConfig, kBranchKey) == 0) {
        storeBranch = std::string(stored.ptr, stored.size);
        git_buf_dispose(&stored);
    }
    if (!branch) {
        error = dir + " has a detached HEAD; check out " +
                (storeBranch ? "its branch " + *storeBranch : std::string("its branch")) +
                " (git -C " + dir + " checkout BRANCH) before a run records into it";
        return false;
    }
    if (storeBranch && *storeBranch != *branch) {
        error = dir + " is on branch " + *branch + ", not on the store's branch " + *storeBranch +
                "; check out " + *storeBranch + " first";
        return false;
    }
    if (!storeBranch)
        git_config_set_string(rawConfig, kBranchKey, branch->c_str());
    return true;
}

}  // namespace

bool checkStoreBranch(const std::string& dir, std::string& error) {
    initLibrary();
    git_repository* raw = nullptr;
    if (git_repository_open_ext(&raw, dir.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) != 0)
        return true;  // made a repository by the first commit
    Repository repo(raw);
    return checkBranch(repo.get(), dir, error);
}

std::optional<GitCommit> commitListings(const std::string& dir, const GitRun& run,
                                        std::string& error) {
    // A service runs several jobs in one process, and they may record into
    // one store at once: one commit at a time, each on the one before.
    static std::mutex commits;
    std::lock_guard lock(commits);
    Repository repo = openRepository(dir, true, error);
    if (!repo || !checkBranch(repo.get(), dir, error))
        return std::nullopt;
    Commit head;
    std::optional<Tree> tree = headTree(repo.get(), head, error);
    if (!tree)
        return std::nullopt;
    std::optional<Staged> staged = stageChanges(repo.get(), dir, tree->get(), run, error);
    if (!staged)
        return std::nullopt;
    GitCommit result;
    result.summary = summaryLine(run, staged->lines.size());
    result.leftOut = staged->leftOut;
    if (staged->lines.empty())
        return result;
    std::optional<git_oid> treeId = writeTree(repo.get(), tree->get(), *staged, error);
    if (!treeId)
        return std::nullopt;
    git_tree* newTree = nullptr;
    git_signature* signature = nullptr;
    git_signature* author = nullptr;
    // A service's run names who started it as the author; unitfleet commits.
    if (git_tree_lookup(&newTree, repo.get(), &*treeId) != 0 ||
        git_signature_now(&signature, kAuthor, kAuthorEmail) != 0 ||
        git_signature_now(&author, run.author.empty() ? kAuthor : run.author.c_str(),
                          kAuthorEmail) != 0) {
        if (signature != nullptr)
            git_signature_free(signature);
        error = lastError("cannot make the commit");
        return std::nullopt;
    }
    Tree ownedTree(newTree);
    Signature ownedSignature(signature), ownedAuthor(author);
    std::string message = result.summary + "\n\n";
    for (const std::string& line : staged->lines) message += line + "\n";
    const git_commit* parents[] = {head.get()};
    git_oid id;
    if (git_commit_create(&id, repo.get(), "HEAD", author, signature, nullptr, message.c_str(),
                          newTree, head ? 1 : 0, parents) != 0) {
        error = lastError("cannot make the commit");
        return std::nullopt;
    }
    updateIndex(repo.get(), *staged);
    result.made = true;
    result.id = shortId(id);
    return result;
}

namespace {

std::string fullId(const git_oid& id) {
    char text[GIT_OID_HEXSZ + 1];
    git_oid_tostr(text, sizeof text, &id);
    return text;
}

// The commit `revision` names, and its tree.
bool commitTree(git_repository* repo, const std::string& dir, const std::string& revision,
                Commit& commit, Tree& tree, std::string& error) {
    git_object* found = nullptr;
    if (git_revparse_single(&found, repo, revision.c_str()) != 0) {
        error = "no revision " + revision + " in " + dir;
        return false;
    }
    Object object(found);
    git_object* peeled = nullptr;
    if (git_object_peel(&peeled, found, GIT_OBJECT_COMMIT) != 0) {
        error = revision + " is not a commit";
        return false;
    }
    commit.reset(reinterpret_cast<git_commit*>(peeled));
    git_tree* raw = nullptr;
    if (git_commit_tree(&raw, commit.get()) != 0) {
        error = lastError("cannot read " + revision);
        return false;
    }
    tree.reset(raw);
    return true;
}

std::optional<std::string> listingIn(git_repository* repo, const git_tree* tree,
                                     const std::string& file) {
    const git_tree_entry* entry = git_tree_entry_byname(tree, file.c_str());
    if (entry == nullptr || git_tree_entry_type(entry) != GIT_OBJECT_BLOB)
        return std::nullopt;
    return blobText(repo, *git_tree_entry_id(entry));
}

}  // namespace

std::optional<std::string> listingAt(const std::string& dir, const std::string& revision,
                                     const std::string& unit, std::string& error) {
    Repository repo = openRepository(dir, false, error);
    if (!repo)
        return std::nullopt;
    Commit commit;
    Tree tree;
    if (!commitTree(repo.get(), dir, revision, commit, tree, error))
        return std::nullopt;
    std::string file = unit + std::string(kListingSuffix);
    git_tree_entry* entry = nullptr;
    if (git_tree_entry_bypath(&entry, tree.get(), file.c_str()) != 0) {
        error = "no listing " + file + " at " + revision;
        return std::nullopt;
    }
    TreeEntry ownedEntry(entry);
    std::optional<std::string> text = blobText(repo.get(), *git_tree_entry_id(entry));
    if (!text)
        error = lastError("cannot read " + file + " at " + revision);
    return text;
}

std::optional<std::string> resolveRevision(const std::string& dir, const std::string& revision,
                                           std::string& error) {
    Repository repo = openRepository(dir, false, error);
    if (!repo)
        return std::nullopt;
    Commit commit;
    Tree tree;
    if (!commitTree(repo.get(), dir, revision, commit, tree, error))
        return std::nullopt;
    return fullId(*git_commit_id(commit.get()));
}

std::optional<std::string> headRevision(const std::string& dir, std::string& error) {
    initLibrary();
    git_repository* raw = nullptr;
    int rc = git_repository_open_ext(&raw, dir.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr);
    if (rc == GIT_ENOTFOUND)
        return std::string();
    if (rc != 0) {
        error = lastError("cannot open the repository in " + dir);
        return std::nullopt;
    }
    Repository repo(raw);
    git_oid id;
    rc = git_reference_name_to_id(&id, repo.get(), "HEAD");
    if (rc == GIT_ENOTFOUND || rc == GIT_EUNBORNBRANCH)
        return std::string();
    if (rc != 0) {
        error = lastError("cannot read HEAD in " + dir);
        return std::nullopt;
    }
    return fullId(id);
}

std::optional<std::map<std::string, std::string>> listingsAt(const std::string& dir,
                                                             const std::string& revision,
                                                             const std::vector<std::string>& units,
                                                             std::string& error) {
    Repository repo = openRepository(dir, false, error);
    if (!repo)
        return std::nullopt;
    Commit commit;
    Tree tree;
    if (!commitTree(repo.get(), dir, revision, commit, tree, error))
        return std::nullopt;
    std::map<std::string, std::string> found;
    for (const std::string& unit : units) {
        std::string file = unit + std::string(kListingSuffix);
        if (!isListingName(file))
            continue;
        if (std::optional<std::string> text = listingIn(repo.get(), tree.get(), file))
            found.emplace(unit, std::move(*text));
    }
    return found;
}

namespace {

// The units a commit changed against its first parent.
// The listings of the tree a walk read last: in a history without merges a
// commit's parent's tree is the next commit's own, read once for both.
struct LastTree {
    git_oid id{};
    bool known = false;
    std::map<std::string, git_oid> listings;
};

std::vector<UnitHistory> commitChanges(git_repository* repo, git_commit* commit,
                                       const std::string& unit,
                                       const VolatileModes& volatileModes, LastTree& last) {
    // One unit: its entry is found by name, not by listing the whole tree,
    // so a unit's history costs the same in a store of 10,000 units.
    auto listings = [&unit](const git_tree* t) {
        if (unit.empty())
            return treeListings(t);
        std::map<std::string, git_oid> one;
        std::string file = unit + std::string(kListingSuffix);
        const git_tree_entry* entry =
            t != nullptr && isListingName(file) ? git_tree_entry_byname(t, file.c_str()) : nullptr;
        if (entry != nullptr && git_tree_entry_type(entry) == GIT_OBJECT_BLOB)
            one.emplace(file, *git_tree_entry_id(entry));
        return one;
    };
    std::map<std::string, git_oid> after;
    if (last.known && git_oid_equal(&last.id, git_commit_tree_id(commit))) {
        after = std::move(last.listings);
    } else {
        git_tree* raw = nullptr;
        git_commit_tree(&raw, commit);
        Tree tree(raw);
        after = listings(tree.get());
    }
    std::map<std::string, git_oid> before;
    last.known = false;
    git_commit* parent = nullptr;
    if (git_commit_parentcount(commit) > 0 && git_commit_parent(&parent, commit, 0) == 0) {
        Commit owned(parent);
        git_tree* parentRaw = nullptr;
        git_commit_tree(&parentRaw, parent);
        Tree parentTree(parentRaw);
        before = listings(parentTree.get());
        if (parentTree) {
            last.id = *git_commit_tree_id(parent);
            last.known = true;
            last.listings = before;
        }
    }
    std::map<std::string, UnitHistory> units;
    auto wanted = [&](const std::string& name) { return unit.empty() || stemOf(name) == unit; };
    for (const auto& [name, id] : after) {
        auto old = before.find(name);
        if (!wanted(name) || (old != before.end() && git_oid_equal(&old->second, &id)))
            continue;
        UnitHistory history;
        history.unit = stemOf(name);
        std::string now = blobText(repo, id).value_or("");
        if (old == before.end()) {
            history.added = true;
            history.changes = listingChanges("", now, volatileModes);
        } else {
            history.changes =
                listingChanges(blobText(repo, old->second).value_or(""), now, volatileModes);
        }
        // A difference in volatile modes alone is no change worth showing.
        if (history.added || !history.changes.empty())
            units[name] = std::move(history);
    }
    for (const auto& [name, id] : before) {
        if (wanted(name) && !after.contains(name))
            units[name] = UnitHistory{stemOf(name), false, true, {}};
    }
    std::vector<UnitHistory> list;
    for (auto& [name, history] : units) list.push_back(std::move(history));
    return list;
}

}  // namespace

std::optional<std::vector<HistoryEntry>> readHistory(const std::string& dir,
                                                     const std::string& unit,
                                                     std::optional<std::time_t> since,
                                                     const VolatileModes& volatileModes,
                                                     std::string& error) {
    Repository repo = openRepository(dir, false, error);
    if (!repo)
        return std::nullopt;
    std::vector<HistoryEntry> entries;
    if (git_repository_head_unborn(repo.get()) == 1)
        return entries;
    git_revwalk* raw = nullptr;
    if (git_revwalk_new(&raw, repo.get()) != 0) {
        error = lastError("cannot walk the history");
        return std::nullopt;
    }
    RevWalk walk(raw);
    // Children before parents even within one second, newest first.
    git_revwalk_sorting(raw, GIT_SORT_TOPOLOGICAL | GIT_SORT_TIME);
    if (git_revwalk_push_head(raw) != 0) {
        error = lastError("cannot walk the history");
        return std::nullopt;
    }
    git_oid id;
    LastTree last;
    while (git_revwalk_next(&id, raw) == 0) {
        git_commit* commitRaw = nullptr;
        if (git_commit_lookup(&commitRaw, repo.get(), &id) != 0) {
            error = lastError("cannot read commit " + shortId(id));
            return std::nullopt;
        }
        Commit commit(commitRaw);
        std::time_t time = static_cast<std::time_t>(git_commit_time(commitRaw));
        if (since && time < *since)
            continue;
        HistoryEntry entry;
        entry.units = commitChanges(repo.get(), commitRaw, unit, volatileModes, last);
        if (entry.units.empty())
            continue;
        entry.id = shortId(id);
        entry.revision = fullId(id);
        entry.time = time;
        const git_signature* author = git_commit_author(commitRaw);
        entry.author = author != nullptr && author->name != nullptr ? author->name : "";
        const char* summary = git_commit_summary(commitRaw);
        entry.summary = summary != nullptr ? summary : "";
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace unitfleet
