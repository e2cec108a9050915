// SPDX-License-Identifier: Apache-2.0
// Hobsel's command line: options fill the settings, each announced as it is
// read, and the start-up summary.
#pragma once

#include <string>
#include <vector>

#include "hobsel/context.h"

namespace hobsel {

struct CommandLine {
    bool exit = false;  // usage text written (or the port was out of range)
    int status = 0;
};

// Reads the arguments after the program name, left to right.
CommandLine readCommandLine(Context& c, const std::vector<std::string>& args);

void writeUsage(Context& c);

// The summary written at verbosity 1 and the image-count override that
// clears the mixed-text answer.
void startupSummary(Context& c);

// The leading decimal number of a text, as the command line reads counts:
// white space and a sign may lead, text that is not a number reads as 0, and
// values beyond an int are held at its limits.
long readNumber(const std::string& text, long low, long high);

}  // namespace hobsel
