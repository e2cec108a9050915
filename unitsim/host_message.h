// SPDX-License-Identifier: Apache-2.0
// The messages a unit sends a host server, as bytes: built from the words of
// a command line (`unitsim barcode TEXT`, `unitsim event 0x20 65 0 0`, ...) or
// from one line of a message file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace unitsim {

using MessageBytes = std::vector<std::uint8_t>;

MessageBytes barcodeTextMessage(const std::string& barcode);   // the text and its zero byte
MessageBytes barcodeFrameMessage(const std::string& barcode);  // a PROD frame
MessageBytes eventMessage(std::uint32_t newStarts, std::uint32_t keyCode, std::uint32_t column,
                          std::uint32_t row, const std::string& text);
MessageBytes registrationMessage(const std::string& unitId, const std::string& productId,
                                 const std::string& ip);

// True for the kinds hostMessage() builds: barcode, prod, event, register, raw.
bool isHostMessageKind(const std::string& kind);

// The message of `kind` from its words (barcode TEXT; prod TEXT; event STARTS
// KEY COLUMN ROW [TEXT]; register UNITID PRODUCTID IP; raw HEX...); nothing
// and a message in `error` when the words do not fit.
std::optional<MessageBytes> hostMessage(const std::string& kind,
                                        const std::vector<std::string>& words, std::string& error);

// One line of a message file in the same words: the kind, then its words,
// where the last word of barcode, prod and event is the rest of the line (so
// a text may hold blanks). Nothing for a line that is empty or starts with '#'.
struct MessageLine {
    std::string kind;
    std::vector<std::string> words;
};
std::optional<MessageLine> splitMessageLine(const std::string& line);

}  // namespace unitsim
