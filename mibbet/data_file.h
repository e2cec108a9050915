// SPDX-License-Identifier: Apache-2.0
// "mibbetdata.dat": key, TAB, value per line. Read afresh for every request:
// the parsed lines are kept only while the file on disk is provably the same
// (hostdata/cached_file.h), so an edit is seen by the very next request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostdata/cached_file.h"
#include "hostdata/key_index.h"

namespace mibbet {

inline constexpr const char* kDataFileName = "mibbetdata.dat";
// Lines are read in pieces of at most this many bytes; the rest of a longer
// line is examined as a line of its own.
inline constexpr std::size_t kPieceSize = 511;
// The search prefix (key and TAB) has room for 128 bytes with its zero byte,
// so longer keys are never found.
inline constexpr std::size_t kLongestKey = 126;

// Every answer the file's text gives: for each line that may match, each
// prefix of it that ends just before a TAB with something after that TAB is
// a key; the first line that answers a key wins. The content stays the
// caller's and must outlive the answers.
class Answers {
public:
    static Answers parse(std::string_view content);
    std::optional<std::string_view> find(std::string_view key) const;
    std::size_t size() const { return index_.size(); }
    std::size_t memoryBytes() const { return index_.memoryBytes(); }

  private:
    void addLine(std::string_view line);
    std::string_view content_;
    hostdata::KeyIndex index_;
};

// The answer the lines of `content` give for `key`, read line by line.
std::optional<std::string_view> findInLines(std::string_view content, std::string_view key);

class DataFile {
public:
    explicit DataFile(std::string path = kDataFileName) : path_(std::move(path)) {}

    // The value for `key`; nothing when the file holds none, cannot be
    // read, or the key is longer than kLongestKey. A file too large to hold
    // is read line by line for each look-up.
    std::optional<std::string> lookup(std::string_view key);

    // How many times the file's content was parsed (for tests of the cache).
    std::size_t reads() const { return file_.changes(); }
    std::size_t memoryBytes() const { return file_.content().size() + answers_.memoryBytes(); }

  private:
    std::string path_;
    hostdata::CachedFile file_;
    Answers answers_;
};

}  // namespace mibbet
