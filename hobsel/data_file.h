// The data file of key and response lines, held in memory between look-ups.
// Every look-up first checks the file on disk (device, inode, size, change
// and modification times to the nanosecond), so an edit is seen by the very
// next request; a file modified within the last two seconds is always read
// afresh, since the file system's clock may not tell two quick edits apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
    bool refresh(const std::string& path, std::int64_t nowSeconds);

    // The responses of the lines that begin with key + TAB and have something
    // after it, in file order.
    std::vector<std::string_view> responses(std::string_view key) const;

    // Builds the cache from content directly (tests and fuzzing).
    void load(std::string content);

  private:
    struct Identity {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1;
        std::int64_t modifiedNs = 0, changedNs = 0;
        bool operator==(const Identity&) const = default;
    };
    bool readFile(const std::string& path, std::string& content) const;

    std::string path_;
    Identity identity_;
    bool valid_ = false;
    std::string content_;
    std::vector<std::string_view> lines_;
    // Lines by the text before their first TAB, for keys without a TAB.
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> index_;
};

}  // namespace hobsel
