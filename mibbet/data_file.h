// "mibbetdata.dat": key, TAB, value per line. Read afresh for every request:
// the parsed lines are kept only while the file on disk is provably the same
// (device, inode, size and modification time to the nanosecond), so an edit
// is seen by the very next request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
// a key; the first line that answers a key wins.
class Answers {
public:
    static Answers parse(std::string_view content);
    std::optional<std::string_view> find(std::string_view key) const;
    std::size_t size() const { return answers_.size(); }

private:
    void addLine(std::string_view line);
    std::unordered_map<std::string, std::string> answers_;
};

class DataFile {
public:
    explicit DataFile(std::string path = kDataFileName) : path_(std::move(path)) {}

    // The value for `key`; nothing when the file holds none, cannot be
    // read, or the key is longer than kLongestKey.
    std::optional<std::string> lookup(std::string_view key);

    // How many times the file was read (for tests of the cache).
    std::size_t reads() const { return reads_; }

private:
    struct Identity {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t mtimeSeconds = 0, mtimeNanos = 0;
        bool operator==(const Identity&) const = default;
    };
    bool refresh();

    std::string path_;
    Answers answers_;
    std::optional<Identity> cached_;  // identity of the file `answers_` came from
    bool trusted_ = false;            // false: re-read at the next request
    std::size_t reads_ = 0;
};

}  // namespace mibbet
