// SPDX-License-Identifier: Apache-2.0
#include "hostdata/key_index.h"

#include <bit>

namespace hostdata {

void KeyIndex::clear() {
    std::vector<Entry>().swap(entries_);
    std::vector<std::uint32_t>().swap(next_);
    std::vector<std::uint32_t>().swap(heads_);
}

std::size_t KeyIndex::hashOf(std::string_view key) {
    // FNV-1a: fast on the short keys of data files.
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : key) h = (h ^ c) * 1099511628211ULL;
    return static_cast<std::size_t>(h ^ (h >> 32));
}

void KeyIndex::add(std::string_view content, std::string_view line, std::size_t keyLength) {
    Entry e;
    e.offset = static_cast<std::uint32_t>(line.data() - content.data());
    e.keyLength = static_cast<std::uint16_t>(keyLength);
    e.lineLength = static_cast<std::uint16_t>(line.size());
    entries_.push_back(e);
}

void KeyIndex::finish(std::string_view content) {
    entries_.shrink_to_fit();
    std::size_t buckets = std::bit_ceil(entries_.size() < 8 ? std::size_t(8) : entries_.size());
    heads_.assign(buckets, kNone);
    next_.assign(entries_.size(), kNone);
    // Back to front, each in front of its bucket: the chains keep file order.
    for (std::size_t i = entries_.size(); i-- > 0;) {
        const Entry& e = entries_[i];
        std::uint32_t& head = heads_[hashOf(content.substr(e.offset, e.keyLength)) & (buckets - 1)];
        next_[i] = head;
        head = static_cast<std::uint32_t>(i);
    }
}

std::size_t KeyIndex::memoryBytes() const {
    return entries_.capacity() * sizeof(Entry) + (next_.capacity() + heads_.capacity()) * 4;
}

}  // namespace hostdata
