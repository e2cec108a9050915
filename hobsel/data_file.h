// SPDX-License-Identifier: Apache-2.0
// The data file of key and response lines, held in memory between look-ups.
// Every look-up first checks the file on disk, so an edit is seen by the very
// next request (hostdata/cached_file.h); a file too large to hold is read
// piece by piece for each look-up instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hostdata/cached_file.h"
#include "hostdata/key_index.h"

namespace hobsel {

// Lines are read in pieces of at most this many bytes; the rest of a longer
// line is a line of its own.
inline constexpr std::size_t kLinePiece = 511;

// Splits file content into the lines a look-up examines: pieces of at most
// kLinePiece bytes ended by a line feed (the last line needs none), cut at a
// zero byte, trailing white space removed; lines that are empty or begin with
// white space are left out.
std::vector<std::string_view> dataLines(std::string_view content);

class DataFileCache {
  public:
    // Brings the cache up to date with the file; false when it cannot be read.
    // An edit is parsed once, at the first request that sees it.
    bool refresh(const std::string& path);

    // Calls `visit` with the response of each line that begins with key + TAB
    // and has something after it, in file order. The text is valid during
    // the call only.
    void forEachResponse(std::string_view key,
                         const std::function<void(std::string_view)>& visit) const;

    // Builds the cache from content directly (tests and fuzzing).
    void load(std::string content);

    // Files above this many bytes are read line by line for each look-up.
    void setMostCachedBytes(std::size_t most) { file_ = hostdata::CachedFile(most); }

    // Times the file's content was parsed; bytes held for it.
    std::size_t parses() const { return parses_; }
    std::size_t memoryBytes() const { return file_.content().size() + index_.memoryBytes(); }

  private:
    void index(std::string_view content);

    hostdata::CachedFile file_;
    std::string loaded_;  // content given to load()
    std::string path_;
    bool streaming_ = false;  // too large to hold: read piece by piece
    std::size_t parses_ = 0;
    // Lines by the text before their first TAB.
    hostdata::KeyIndex index_;
};

}  // namespace hobsel
