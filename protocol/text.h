// Small text helpers shared by the library, Tarnix and the host servers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace protocol {

// White space as the C library's isspace sees it in the "C" locale.
bool isWhite(char c);

// Removes trailing white space (space, tab, CR, LF, VT, FF).
void trimRight(std::string& text);
std::string_view trimRight(std::string_view text);
// In place on a zero-terminated buffer: trailing white space becomes zero bytes.
void trimRight(char* text);

// Stores at most `length` characters of `source` (fewer when it has a zero
// byte earlier) in `slot`. A missing source ends the process with
// "copyString pass a NULL pointer\n"; running out of memory with
// "copyString failed to get %d bytes\n"; both exit with status 1.
void copyString(std::string& slot, const char* source, std::size_t length);

// ASCII case-insensitive comparison, as the units' tools compare names.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
char lowerAscii(char c);

// The first `max` characters of a text.
inline std::string_view cut(std::string_view text, std::size_t max) {
    return text.substr(0, max);
}

// Length of the run at the start of `text` made only of characters in `set`,
// and of the run made of characters not in `set`.
std::size_t spanOf(std::string_view text, std::string_view set);
std::size_t spanUntil(std::string_view text, std::string_view set);

// Text from a unit made safe for a log line or a terminal: control
// characters (below 0x20 except TAB, and 0x7F) become "\xHH", so a unit can
// neither forge a log line nor send escape sequences to the console.
std::string escapeControls(std::string_view text);

}  // namespace protocol
