// The few calls of unitfleet that differ between systems apart from sockets
// (those are in net/) and file replacement (atomic_file): console.cpp for
// POSIX, console_win32.cpp for Windows.
#pragma once

#include <cstdio>
#include <ctime>

namespace unitfleet {

// The stream goes to a terminal (a progress line may be rewritten in place).
bool isTerminal(std::FILE* stream);

// A closed output fails the writes to it rather than ending the process.
void ignoreBrokenPipes();

// The local time now, broken down.
std::tm localTimeNow();

}  // namespace unitfleet
