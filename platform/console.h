// SPDX-License-Identifier: Apache-2.0
// The console calls that differ between systems: console.cpp for POSIX,
// console_win32.cpp for Windows.
#pragma once

#include <cstdio>
#include <ctime>

namespace platform {

// The stream goes to a terminal (a progress line may be rewritten in place).
bool isTerminal(std::FILE* stream);

// A closed output fails the writes to it rather than ending the process.
void ignoreBrokenPipes();

// The local time now, and at `when`, broken down.
std::tm localTimeNow();
std::tm localTime(std::time_t when);

}  // namespace platform
