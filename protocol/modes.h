// SPDX-License-Identifier: Apache-2.0
// A unit's mode table, read from the replies to the empty query (definition
// lines) and to "*" (value lines). The library and Tarnix share these rules;
// they differ only in their name limits and in which value field a value
// reply fills.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

struct ModeRecord {
    std::string name;                     // as the unit spells it
    std::string type;                     // type word, e.g. "STRING"
    std::string help;                     // empty when the unit sends none
    std::int32_t size = 0;                // for STRING the number after the type, else 0
    std::optional<std::string> nvram;     // from the first "*" query
    std::optional<std::string> newValue;  // Tarnix: from the second "*" query
    std::optional<std::string> iniValue;  // Tarnix: from the ini file
    bool setInIni = false;                // Tarnix: the ini file gave a usable value
};

// Which value field a value reply fills.
using ValueField = std::optional<std::string> ModeRecord::*;

struct NameLimits {
    std::size_t keep = 255;       // characters of a value-reply name used for lookup
    std::size_t sizeToken = 255;  // characters of a STRING size token read
    // A value-reply name of this many characters or more stops the fill and is
    // reported to the caller (Tarnix makes it fatal). npos: no such limit.
    std::size_t fatalAt = std::string_view::npos;
};

// Reads "name = value" entries separated by runs of spaces, tabs, CR and LF:
// the name ends at a space, "=" or tab; after a run of "=", spaces and tabs
// the value runs to CR, LF or tab (and to any of `extraValueEnds`).
// Value replies and Tarnix's ini file both have this form.
class EntryReader {
  public:
    explicit EntryReader(std::string_view text) : rest_(text) {}
    // The next entry's name; false at the end of the text.
    bool nextName(std::string_view& name);
    // The value after the name just read.
    std::string_view value(std::string_view extraValueEnds = {});

  private:
    std::string_view rest_;
};

// The value of a one-mode reply: the first token (to a space, "=" or tab)
// and the run of "=", spaces and tabs after it skipped, to CR, LF or tab.
std::string_view oneModeValue(std::string_view body);

class ModeTable {
  public:
    // Replaces the table with one record per line of the definition reply.
    // Out of memory ends the process with the mode tools' message.
    void parseDefinitions(std::string_view body, const NameLimits& limits = {});
    // The same, but out of memory throws std::bad_alloc (the table is left
    // partial), for callers that fail one unit and go on with the others.
    void readDefinitions(std::string_view body, const NameLimits& limits = {});

    // Stores each listed value (trailing white space removed) in `field` of
    // the mode it names; unknown names are skipped. Returns the first name
    // of `limits.fatalAt` characters or more, which stops the fill.
    std::optional<std::string> fillValues(std::string_view body, ValueField field,
                                          const NameLimits& limits = {});

    // Index of the first mode whose name equals `name` ignoring case; -1 when
    // none does or the name is empty or begins with white space or "#".
    int findMode(std::string_view name) const;

    std::size_t count() const { return records_.size(); }
    const std::vector<ModeRecord>& records() const { return records_; }
    ModeRecord& operator[](std::size_t i) { return records_[i]; }
    const ModeRecord& operator[](std::size_t i) const { return records_[i]; }
    void clear();

  private:
    void buildIndex();
    // The slot that holds `name` (ignoring case), or the empty slot where it
    // would go.
    std::size_t slotFor(std::string_view name, std::uint32_t hash) const;
    // Asks the memory for the first slot of a name with this hash ahead of
    // its use.
    void prefetchSlot(std::uint32_t hash) const;
    int findMode(std::string_view name, std::uint32_t hash) const;

    std::vector<ModeRecord> records_;
    // Open-addressing index over the names, ignoring case: each slot holds a
    // name's hash and 1 + the index of the first record with that name (0:
    // empty). One flat array keeps a lookup in a 100k-mode table to a probe
    // or two, where a node-based map costs a cache miss per step.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t record = 0;
    };
    std::vector<Slot> index_;
};

// Number of lines in a definition reply: runs of CR and LF separate them, and
// a body that starts with one counts an empty first line.
std::size_t countLines(std::string_view body);

}  // namespace protocol
