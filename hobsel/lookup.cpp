// SPDX-License-Identifier: Apache-2.0
#include "hobsel/lookup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hobsel/data_file.h"
#include "protocol/text.h"

namespace hobsel {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Makes `text` the saved record unless it is an event or touch code.
void recordHistory(Context& c, std::string_view text) {
    c.say(2, "recordHistory\n");
    if (isEventCode(text))
        return;
    c.say(2, "Save data: [%s]\n", protocol::escapeControls(text).c_str());
    c.history.savedRecord.assign(protocol::cut(text, kSavedRecordCapacity - 1));
}

// Numbered responses ("#n#text") count only on the n-th scan of a barcode.
void checkResponse(Context& c, std::string_view text) {
    c.say(2, "Checking record [%s].\n", protocol::escapeControls(text).c_str());
    if (text.size() == 1 || text[0] != '#') {
        c.say(2, text.size() == 1 ? "Too small.\n" : "Not numbered.\n");
        recordHistory(c, text);
        return;
    }
    if (text[1] == '#') {
        c.say(2, "Starts with ##.\n");
        recordHistory(c, text.substr(1));
        return;
    }
    std::size_t second = text.find('#', 1);
    if (second == std::string_view::npos) {
        c.say(2, "No number terminator.\n");
        recordHistory(c, text);
        return;
    }
    std::string digits(text.substr(1, second - 1));
    long number = std::strtol(digits.c_str(), nullptr, 10);
    if (number == c.history.scanCount) {
        c.say(2, "Number match!\n");
        recordHistory(c, text.substr(second + 1));
    }
}

void updateHistory(Context& c, const std::string& key) {
    if (isEventCode(key))
        return;
    History& h = c.history;
    std::time_t now = c.clock();
    bool match = key == h.lastBarcode;
    bool exceeded = now - h.lastScanTime > c.settings.threshold;
    c.say(2, "barcode is %sa match.\n", match ? "" : "not ");
    c.say(2, "threshhold %sexceeded.\n", exceeded ? "" : "not ");
    if (!match || exceeded) {
        c.say(2, "clear history\n");
        h.lastBarcode.clear();
        h.savedRecord.clear();
        h.lastScanTime = 0;
        h.scanCount = 0;
        c.printArmed = true;
        c.say(2, "New barcode [%s] at %d.\n", protocol::escapeControls(key).c_str(),
              static_cast<int>(now));
        h.lastBarcode = protocol::cut(key, kSavedRecordCapacity - 1);
    }
    h.lastScanTime = now;
    ++h.scanCount;
}

void checkTouchResponse(Context& c, std::string_view response) {
    auto found = readRectangle(response);
    if (!found) {
        c.say(2, "Can't get rectangle\n");
        return;
    }
    const Rectangle& r = found->first;
    if (!r.contains(c.touchPoint.column, c.touchPoint.row)) {
        c.say(3, "Outside of rectangle\n");
        return;
    }
    std::string_view rest = response.substr(found->second);
    while (!rest.empty() && protocol::isWhite(rest[0])) rest.remove_prefix(1);
    if (rest.empty())
        return;
    c.say(3, "Touch %c%c found within %c%c-%c%c\n", 'A' + c.touchPoint.column,
          '0' + c.touchPoint.row, 'A' + r.firstColumn, '0' + r.firstRow, 'A' + r.lastColumn,
          '0' + r.lastRow);
    checkResponse(c, rest);
}

std::optional<std::pair<int, int>> readCell(std::string_view text) {
    if (text.size() < 2)
        return std::nullopt;
    char letter = protocol::lowerAscii(text[0]);
    if (letter < 'a' || letter > 'f' || text[1] < '0' || text[1] > '7')
        return std::nullopt;
    return std::pair{letter - 'a', text[1] - '0'};
}

}  // namespace

bool isEventCode(std::string_view text) {
    if (startsWith(text, "T-"))
        return true;
    return startsWith(text, "EV") && (text.size() < 4 || text[3] != '-');
}

std::optional<std::pair<Rectangle, std::size_t>> readRectangle(std::string_view text) {
    auto first = readCell(text);
    if (!first)
        return std::nullopt;
    Rectangle r{first->first, first->second, first->first, first->second};
    std::size_t used = 2;
    if (text.size() > 2 && text[2] == '-') {
        auto last = readCell(text.substr(3));
        if (!last)
            return std::nullopt;
        r.lastColumn = last->first;
        r.lastRow = last->second;
        used = 5;
    }
    if (used < text.size() && !protocol::isWhite(text[used]))
        return std::nullopt;
    return std::pair{r, used};
}

std::string fillKeyTemplate(std::string_view pattern, long keyCode, std::size_t capacity) {
    constexpr std::string_view kFlags = "-+ #0";
    constexpr std::string_view kConversions = "diouxXc";
    constexpr std::size_t kMostDigits = 4;  // width and precision up to 9999
    std::string out;
    int filled = 0;
    std::size_t i = 0;
    auto digitsAt = [&](std::size_t& j) {
        std::size_t start = j;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') ++j;
        return j - start;
    };
    while (i < pattern.size() && out.size() + 1 < capacity) {
        if (pattern[i] != '%') {
            out += pattern[i++];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        std::size_t j = i + 1;
        while (j < pattern.size() && kFlags.find(pattern[j]) != std::string_view::npos) ++j;
        std::string spec(pattern.substr(i, j - i));
        std::size_t widthStart = j;
        bool fits = digitsAt(j) <= kMostDigits;
        spec += pattern.substr(widthStart, j - widthStart);
        if (j < pattern.size() && pattern[j] == '.') {
            std::size_t precisionStart = ++j;
            fits = fits && digitsAt(j) <= kMostDigits;
            spec += '.';
            spec += pattern.substr(precisionStart, j - precisionStart);
        }
        for (int m = 0; m < 2 && j < pattern.size() && (pattern[j] == 'h' || pattern[j] == 'l');
             ++m) {
            ++j;  // the value is always formatted as an int
        }
        bool integer =
            j < pattern.size() && kConversions.find(pattern[j]) != std::string_view::npos;
        if (!fits || !integer || filled >= 2) {
            out += pattern[i++];  // not honoured: the "%" and what follows stay as text
            continue;
        }
        char conversion = pattern[j];
        spec += conversion;
        char piece[2 * 10000];
        int n =
            conversion == 'd' || conversion == 'i' || conversion == 'c'
                ? std::snprintf(piece, sizeof piece, spec.c_str(), static_cast<int>(keyCode))
                : std::snprintf(piece, sizeof piece, spec.c_str(), static_cast<unsigned>(keyCode));
        if (n > 0)
            out.append(piece, std::min<std::size_t>(n, sizeof piece - 1));
        ++filled;
        i = j + 1;
    }
    out = out.substr(0, out.find('\0'));
    if (capacity > 0 && out.size() > capacity - 1)
        out.resize(capacity - 1);
    return out;
}

int lookupRecord(Context& c, std::string_view keyIn, char* output, std::size_t capacity,
                 bool history) {
    if (output == nullptr || capacity == 0)
        return 0;
    output[0] = '\0';
    if (c.settings.dataFile.empty())
        return 0;
    if (!c.dataCache->refresh(c.settings.dataFile)) {
        c.say(2, "can't open datafile %s\n", c.settings.dataFile.c_str());
        return 0;
    }
    std::string key(keyIn.substr(0, keyIn.find('\0')));
    protocol::trimRight(key);
    if (key.empty()) {
        c.say(2, "filename stripped to null string");
        return 0;
    }
    if (history)
        updateHistory(c, key);

    std::string& saved = c.history.savedRecord;
    saved.clear();
    if (key.size() + 2 > kSearchPrefixCapacity)
        return 0;
    bool touch = startsWith(key, "T-");
    c.dataCache->forEachResponse(key, [&](std::string_view response) {
        if (touch) {
            checkTouchResponse(c, response);
        } else {
            checkResponse(c, response);
        }
    });
    if (saved.empty())
        return 0;

    bool doubleByte = startsWith(saved, "|>") || startsWith(saved, "|<");
    // A double-byte record keeps room for the second zero byte that ends it.
    std::size_t room = doubleByte ? capacity - std::min<std::size_t>(capacity, 1) : capacity;
    std::string text = startsWith(key, "EV6") ? fillKeyTemplate(saved, c.keyCode, room)
                                              : std::string(protocol::cut(saved, room - 1));
    if (room == 0)
        text.clear();
    std::memcpy(output, text.c_str(), text.size() + 1);
    if (doubleByte && text.size() + 1 < capacity)
        output[text.size() + 1] = '\0';
    c.say(2, "Data Record [%s]\n", protocol::escapeControls(output).c_str());
    return static_cast<int>(text.size()) + (doubleByte ? 2 : 1);
}

}  // namespace hobsel
