#include "protocol/modes.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "protocol/text.h"

namespace protocol {

namespace {

constexpr std::string_view kLineEnds = "\r\n";

// Takes the run at the front of `rest` made of characters not in `ends`.
std::string_view takeUntil(std::string_view& rest, std::string_view ends) {
    std::string_view token = rest.substr(0, spanUntil(rest, ends));
    rest.remove_prefix(token.size());
    return token;
}

void skip(std::string_view& rest, std::string_view set) { rest.remove_prefix(spanOf(rest, set)); }

std::int32_t leadingNumber(std::string_view token) {
    std::int64_t value = 0;
    for (char c : token) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

std::string lowered(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = lowerAscii(c);
    return key;
}

ModeRecord parseDefinitionLine(std::string_view& rest, const NameLimits& limits) {
    ModeRecord record;
    record.name = takeUntil(rest, " =");
    skip(rest, "= ");
    record.type = takeUntil(rest, std::string_view(" \t\r\n,", 5));
    if (equalsIgnoreCase(record.type, "STRING")) {
        skip(rest, ", ");
        std::string_view token = takeUntil(rest, " \t\r\n");
        record.size = leadingNumber(cut(token, limits.sizeToken));
    }
    skip(rest, " \t");
    record.help = takeUntil(rest, kLineEnds);
    skip(rest, kLineEnds);
    return record;
}

}  // namespace

bool EntryReader::nextName(std::string_view& name) {
    skip(rest_, " \r\n\t");
    if (rest_.empty()) return false;
    name = takeUntil(rest_, " =\t");
    skip(rest_, "= \t");
    return true;
}

std::string_view EntryReader::value(std::string_view extraValueEnds) {
    std::string ends = "\r\n\t";
    ends += extraValueEnds;
    return takeUntil(rest_, ends);
}

std::string_view oneModeValue(std::string_view body) {
    takeUntil(body, " =\t");
    skip(body, "= \t");
    return takeUntil(body, "\r\n\t");
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

void ModeTable::parseDefinitions(std::string_view body, const NameLimits& limits) {
    clear();
    std::size_t lines = countLines(body);
    try {
        records_.reserve(lines);
        while (!body.empty() && records_.size() < lines) {
            records_.push_back(parseDefinitionLine(body, limits));
        }
        // A name may run across a line end (names end only at a space or
        // "="), leaving fewer records than lines: the rest stay empty.
        records_.resize(lines);
        buildIndex();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Can't allocate %zd bytes for %d modes\n",
                     static_cast<std::ptrdiff_t>(lines * sizeof(ModeRecord)),
                     static_cast<int>(lines));
        std::exit(1);
    }
}

void ModeTable::buildIndex() {
    index_.reserve(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) {
        index_.try_emplace(lowered(records_[i].name), static_cast<int>(i));
    }
}

std::optional<std::string> ModeTable::fillValues(std::string_view body, ValueField field,
                                                 const NameLimits& limits) {
    EntryReader reader(body);
    std::string_view name;
    while (reader.nextName(name)) {
        if (name.size() >= limits.fatalAt) return std::string(name);
        std::string_view value = reader.value();
        int i = findMode(cut(name, limits.keep));
        if (i < 0) continue;
        std::optional<std::string>& slot = records_[static_cast<std::size_t>(i)].*field;
        slot = std::string(value);
        trimRight(*slot);
    }
    return std::nullopt;
}

int ModeTable::findMode(std::string_view name) const {
    if (name.empty() || isWhite(name[0]) || name[0] == '#') return -1;
    auto it = index_.find(lowered(name));
    return it == index_.end() ? -1 : it->second;
}

}  // namespace protocol
