// SPDX-License-Identifier: Apache-2.0
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
constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first `max` characters of a text.
inline std::string_view cut(std::string_view text, std::size_t max) {
    return text.substr(0, max);
}

// A set of delimiter characters as a 256-entry table: a membership test is
// one load, where a search over the set's characters (find_first_of) costs a
// scan of the set for every character of the text.
class CharSet {
  public:
    constexpr CharSet(std::string_view chars) {
        for (char c : chars) member_[static_cast<unsigned char>(c)] = true;
    }
    constexpr CharSet(const char* chars) : CharSet(std::string_view(chars)) {}
    constexpr bool contains(char c) const { return member_[static_cast<unsigned char>(c)]; }
    constexpr CharSet with(std::string_view more) const {
        CharSet set = *this;
        for (char c : more) set.member_[static_cast<unsigned char>(c)] = true;
        return set;
    }

  private:
    bool member_[256] = {};
};

// Length of the run at the start of `text` made only of characters in `set`,
// and of the run made of characters not in `set`.
std::size_t spanOf(std::string_view text, const CharSet& set);
std::size_t spanUntil(std::string_view text, const CharSet& set);

// Text from a unit made safe for a log line or a terminal: control
// characters (below 0x20 except TAB, and 0x7F) become "\xHH", so a unit can
// neither forge a log line nor send escape sequences to the console.
std::string escapeControls(std::string_view text);

}  // namespace protocol
