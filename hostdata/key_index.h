// SPDX-License-Identifier: Apache-2.0
// An index of the keyed lines of a data file held in memory: for each key,
// its lines in file order. Compact on purpose (about 16 bytes a key on top
// of the file's own bytes), so a large data file costs little more than its
// size. Keys and lines are offsets into the content the caller keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace hostdata {

class KeyIndex {
  public:
    // A line of at most 65535 bytes; its key is the first `keyLength` bytes.
    struct Entry {
        std::uint32_t offset = 0;
        std::uint16_t keyLength = 0;
        std::uint16_t lineLength = 0;
    };

    void clear();
    // Adds `line` (a view into `content`, which stays below 4 GiB) under
    // its first `keyLength` bytes; entries are added in file order.
    void add(std::string_view content, std::string_view line, std::size_t keyLength);
    // Makes the added entries searchable.
    void finish(std::string_view content);

    // Calls `visit(line)` for each line whose key is `key`, in file order,
    // until it returns false.
    template <typename Visit>
    void forEach(std::string_view content, std::string_view key, Visit&& visit) const {
        if (heads_.empty())
            return;
        for (std::uint32_t i = heads_[hashOf(key) & (heads_.size() - 1)]; i != kNone;
             i = next_[i]) {
            const Entry& e = entries_[i];
            if (e.keyLength == key.size() && content.substr(e.offset, e.keyLength) == key &&
                !visit(content.substr(e.offset, e.lineLength))) {
                return;
            }
        }
    }

    // Every line added, in file order.
    template <typename Visit>
    void forAll(std::string_view content, Visit&& visit) const {
        for (const Entry& e : entries_) {
            if (!visit(content.substr(e.offset, e.lineLength)))
                return;
        }
    }

    std::size_t size() const { return entries_.size(); }
    // Bytes the index itself holds.
    std::size_t memoryBytes() const;

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    static std::size_t hashOf(std::string_view key);

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> next_;   // the next entry in the same bucket
    std::vector<std::uint32_t> heads_;  // first entry of each bucket
};

}  // namespace hostdata
