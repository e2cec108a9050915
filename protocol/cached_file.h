// A data file held in memory between requests, for servers that must see an
// edit at the very next request. Every refresh checks the file's stamp
// (device, inode, size, times to the nanosecond); a file written within the
// last two seconds may change without its stamp showing it, so it is read
// again and compared byte for byte with the cached copy: the caller parses
// only when the bytes really differ. A file too large to hold is not cached;
// the caller then reads it piece by piece as it always could.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/file_stamp.h"

namespace protocol {

// Files above this are read afresh for each look-up instead of being held.
inline constexpr std::size_t kMostCachedBytes = std::size_t(1) << 30;

class CachedFile {
  public:
    enum class Status {
        Same,      // the cached content is the file's
        Changed,   // the content was read anew: parse it again
        Missing,   // the file cannot be opened or read
        TooLarge,  // not cached: read it piece by piece (forEachChunk)
    };

    explicit CachedFile(std::size_t mostBytes = kMostCachedBytes) : mostBytes_(mostBytes) {}

    // Brings the cache up to date with the file at `path`.
    Status refresh(const std::string& path);
    std::string_view content() const { return content_; }
    // How many times the content changed (tests: an edit is parsed once).
    std::size_t changes() const { return changes_; }

  private:
    bool sameBytes(const std::string& path) const;
    Status readWhole(const std::string& path, std::size_t size);
    void forget();

    std::size_t mostBytes_;
    std::string path_;
    std::optional<net::FileStamp> stamp_;
    std::string content_;
    std::size_t changes_ = 0;
};

// Reads the file at `path` in large chunks, each ending where a line of at
// most `pieceSize` bytes ends (after a line feed or a full piece), so a line
// reader sees the same pieces as over the whole content; `chunk` returns
// false to stop early. False when the file cannot be opened.
bool forEachChunk(const std::string& path, std::size_t pieceSize,
                  const std::function<bool(std::string_view)>& chunk);

}  // namespace protocol
