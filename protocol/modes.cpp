// SPDX-License-Identifier: Apache-2.0
#include "protocol/modes.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "protocol/text.h"

namespace protocol {

namespace {

// The delimiter sets of the reply formats.
constexpr CharSet kLineEnds("\r\n");
constexpr CharSet kNameEnds(" =");      // a definition line's name
constexpr CharSet kNameValueGap("= ");  // between a definition's name and type
constexpr CharSet kTypeEnds(std::string_view(" \t\r\n,", 5));
constexpr CharSet kSizeGap(", ");
constexpr CharSet kTokenEnds(" \t\r\n");
constexpr CharSet kHelpGap(" \t");
constexpr CharSet kEntryGap(" \r\n\t");  // between value entries
constexpr CharSet kEntryNameEnds(" =\t");
constexpr CharSet kEntryValueGap("= \t");
constexpr CharSet kValueEnds("\r\n\t");

// Takes the run at the front of `rest` made of characters not in `ends`.
std::string_view takeUntil(std::string_view& rest, const CharSet& ends) {
    std::string_view token = rest.substr(0, spanUntil(rest, ends));
    rest.remove_prefix(token.size());
    return token;
}

void skip(std::string_view& rest, const CharSet& set) {
    rest.remove_prefix(spanOf(rest, set));
}

std::int32_t leadingNumber(std::string_view token) {
    std::int64_t value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

// FNV-1a over the name's characters folded to lower case.
std::uint32_t foldedHash(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(lowerAscii(c));
        hash *= 16777619u;
    }
    return hash;
}

ModeRecord parseDefinitionLine(std::string_view& rest, const NameLimits& limits) {
    ModeRecord record;
    record.name = takeUntil(rest, kNameEnds);
    skip(rest, kNameValueGap);
    record.type = takeUntil(rest, kTypeEnds);
    if (equalsIgnoreCase(record.type, "STRING")) {
        skip(rest, kSizeGap);
        std::string_view token = takeUntil(rest, kTokenEnds);
        record.size = leadingNumber(cut(token, limits.sizeToken));
    }
    skip(rest, kHelpGap);
    record.help = takeUntil(rest, kLineEnds);
    skip(rest, kLineEnds);
    return record;
}

}  // namespace

bool EntryReader::nextName(std::string_view& name) {
    skip(rest_, kEntryGap);
    if (rest_.empty())
        return false;
    name = takeUntil(rest_, kEntryNameEnds);
    skip(rest_, kEntryValueGap);
    return true;
}

std::string_view EntryReader::value(std::string_view extraValueEnds) {
    if (extraValueEnds.empty())
        return takeUntil(rest_, kValueEnds);
    return takeUntil(rest_, kValueEnds.with(extraValueEnds));
}

std::string_view oneModeValue(std::string_view body) {
    takeUntil(body, kEntryNameEnds);
    skip(body, kEntryValueGap);
    return takeUntil(body, kValueEnds);
}

std::size_t countLines(std::string_view body) {
    std::size_t lines = 0;
    while (!body.empty()) {
        takeUntil(body, kLineEnds);
        skip(body, kLineEnds);
        ++lines;
    }
    return lines;
}

void ModeTable::clear() {
    records_.clear();
    index_.clear();
}

void ModeTable::readDefinitions(std::string_view body, const NameLimits& limits) {
    clear();
    std::size_t lines = countLines(body);
    records_.reserve(lines);
    while (!body.empty() && records_.size() < lines) {
        records_.push_back(parseDefinitionLine(body, limits));
    }
    // A name may run across a line end (names end only at a space or "="),
    // leaving fewer records than lines: the rest stay empty.
    records_.resize(lines);
    buildIndex();
}

void ModeTable::parseDefinitions(std::string_view body, const NameLimits& limits) {
    try {
        readDefinitions(body, limits);
    } catch (const std::bad_alloc&) {
        std::size_t lines = countLines(body);
        std::fprintf(stderr, "Can't allocate %zd bytes for %d modes\n",
                     static_cast<std::ptrdiff_t>(lines * sizeof(ModeRecord)),
                     static_cast<int>(lines));
        std::exit(1);
    }
}

void ModeTable::buildIndex() {
    // At most half full, so probe runs stay short.
    std::size_t slots = 16;
    while (slots < 2 * records_.size()) slots *= 2;
    index_.assign(slots, Slot{});
    // Hashes first, so each slot can be fetched a few records ahead of use.
    std::vector<std::uint32_t> hashes(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) hashes[i] = foldedHash(records_[i].name);
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (i + kAhead < records_.size())
            prefetchSlot(hashes[i + kAhead]);
        Slot& slot = index_[slotFor(records_[i].name, hashes[i])];
        if (slot.record == 0)
            slot = {hashes[i], static_cast<std::uint32_t>(i + 1)};
    }
}

std::size_t ModeTable::slotFor(std::string_view name, std::uint32_t hash) const {
    std::size_t mask = index_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = index_[at];
        if (slot.record == 0)
            return at;
        if (slot.hash == hash && equalsIgnoreCase(records_[slot.record - 1].name, name))
            return at;
    }
}

std::optional<std::string> ModeTable::fillValues(std::string_view body, ValueField field,
                                                 const NameLimits& limits) {
    // Entries are taken a batch at a time so that the index slots of the
    // whole batch are fetched from memory together, not one miss after
    // another: that keeps the cost per mode flat in very large tables.
    constexpr std::size_t kBatch = 16;
    struct Entry {
        std::string_view name, value;
        std::string_view key;  // the name as looked up
        std::uint32_t hash = 0;
    };
    EntryReader reader(body);
    Entry batch[kBatch];
    for (;;) {
        std::size_t count = 0;
        std::string_view name;
        while (count < kBatch && reader.nextName(name)) {
            batch[count].name = name;
            // A fatal name stops the fill here; its value is never read.
            if (name.size() >= limits.fatalAt) {
                ++count;
                break;
            }
            batch[count++].value = reader.value();
        }
        if (count == 0)
            return std::nullopt;
        for (std::size_t k = 0; k < count; ++k) {
            batch[k].key = cut(batch[k].name, limits.keep);
            batch[k].hash = foldedHash(batch[k].key);
            prefetchSlot(batch[k].hash);
        }
        for (std::size_t k = 0; k < count; ++k) {
            const Entry& entry = batch[k];
            if (entry.name.size() >= limits.fatalAt)
                return std::string(entry.name);
            int i = findMode(entry.key, entry.hash);
            if (i < 0)
                continue;
            std::optional<std::string>& slot = records_[static_cast<std::size_t>(i)].*field;
            slot = std::string(entry.value);
            trimRight(*slot);
        }
    }
}

void ModeTable::prefetchSlot(std::uint32_t hash) const {
    if (index_.empty())
        return;
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(&index_[hash & (index_.size() - 1)]);
#endif
}

int ModeTable::findMode(std::string_view name) const {
    return findMode(name, foldedHash(name));
}

int ModeTable::findMode(std::string_view name, std::uint32_t hash) const {
    if (name.empty() || isWhite(name[0]) || name[0] == '#' || index_.empty())
        return -1;
    const Slot& slot = index_[slotFor(name, hash)];
    return static_cast<int>(slot.record) - 1;
}

}  // namespace protocol
