// SPDX-License-Identifier: Apache-2.0
// A data file held in memory between requests, for servers that must see an
// edit at the very next request. Every refresh checks the file's stamp
// (device, inode, size, times to the nanosecond). The stamp alone is trusted
// only for content read when the file had last been written more than the
// stamps' granularity (two seconds, the coarsest of the file systems we meet)
// before, and whose stamp did not change during the read: a same-size edit
// within one clock tick of a read can leave the stamp as it was. Until then
// every refresh reads the file again and compares it byte for byte with the
// cached copy, and the caller parses only when the bytes really differ. A
// file too large to hold is not cached; the caller then reads it piece by
// piece as it always could.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_stamp.h"

namespace hostdata {

// Files above this are read afresh for each look-up instead of being held.
inline constexpr std::size_t kMostCachedBytes = std::size_t(1) << 30;
// How long after a write its stamp may still not tell it from the next one.
inline constexpr std::int64_t kStampGranularityNs = 2'000'000'000;

// The clocks a cache reads, which tests replace: the wall clock, and the
// tick of the file system's time stamps (times are cut to it).
struct FileClocks {
    std::function<std::int64_t()> nowNs;  // nanoseconds since 1970; empty: the system's
    std::int64_t stampTickNs = 1;
};

class CachedFile {
  public:
    enum class Status {
        Same,      // the cached content is the file's
        Changed,   // the content was read anew: parse it again
        Missing,   // the file cannot be opened or read
        TooLarge,  // not cached: read it piece by piece (forEachChunk)
    };

    explicit CachedFile(std::size_t mostBytes = kMostCachedBytes, FileClocks clocks = {});

    // Brings the cache up to date with the file at `path`.
    Status refresh(const std::string& path);
    std::string_view content() const { return content_; }
    // How many times the content changed (tests: an edit is parsed once).
    std::size_t changes() const { return changes_; }

  private:
    bool sameBytes(std::FILE* file) const;
    Status readWhole(std::FILE* file, std::size_t size);
    bool settledAt(const platform::FileStamp& stamp, std::int64_t readNs) const;
    std::optional<platform::FileStamp> ticked(std::optional<platform::FileStamp> stamp) const;
    void forget();

    std::size_t mostBytes_;
    FileClocks clocks_;
    bool settled_ = false;  // the stamp alone proves the content
    std::string path_;
    std::optional<platform::FileStamp> stamp_;
    std::string content_;
    std::size_t changes_ = 0;
};

// Reads the file at `path` in large chunks, each ending where a line of at
// most `pieceSize` bytes ends (after a line feed or a full piece), so a line
// reader sees the same pieces as over the whole content; `chunk` returns
// false to stop early. False when the file cannot be opened.
bool forEachChunk(const std::string& path, std::size_t pieceSize,
                  const std::function<bool(std::string_view)>& chunk);

}  // namespace hostdata
