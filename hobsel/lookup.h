// SPDX-License-Identifier: Apache-2.0
// Looking a key up in the data file: the barcode history, numbered
// responses, touch rectangles and key templates.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "hobsel/context.h"

namespace hobsel {

// The search prefix (key, TAB and a zero byte) must fit in this many bytes;
// a longer key finds no record.
inline constexpr std::size_t kSearchPrefixCapacity = 128;
inline constexpr std::size_t kSavedRecordCapacity = 8192;

// Keys of event and touch look-ups: "T-..." or "EV" with a fourth character
// that is not "-". They never touch the history and are never accepted as a
// response.
bool isEventCode(std::string_view text);

// Looks `key` up and writes the chosen record, cut to fit, with its zero byte
// into output[0..capacity). Returns 0 when nothing was found (the output is
// then empty), else the record's length plus 1, plus 1 more for a double-byte
// record ("|>" or "|<").
int lookupRecord(Context& context, std::string_view key, char* output, std::size_t capacity,
                 bool history);

// A touch cell rectangle: columns A-F (0-5) and rows 0-7.
struct Rectangle {
    int firstColumn = 0, firstRow = 0, lastColumn = 0, lastRow = 0;
    bool contains(int column, int row) const {
        return firstColumn <= column && column <= lastColumn && firstRow <= row && row <= lastRow;
    }
};
// Reads a rectangle at the start of `text` ("B2" or "A0-C3", letters in
// either case) and returns it with the count of characters it took.
std::optional<std::pair<Rectangle, std::size_t>> readRectangle(std::string_view text);

// Fills a key template from the data file with the key code. Only the first
// two conversions that take one integer (d i o u x X c, with flags, width and
// precision) receive it, "%%" is a percent sign, and everything else, later
// conversions included, is copied literally: the file's text is never handed
// to printf as a format. The result holds at most `capacity` - 1 characters.
std::string fillKeyTemplate(std::string_view pattern, long keyCode, std::size_t capacity);

}  // namespace hobsel
