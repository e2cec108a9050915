// SPDX-License-Identifier: Apache-2.0
// The report Tarnix prints after a listing or a set run: one
// "name<padding>= value" line per mode, the names in a column as wide as the
// longest name plus 4.
#pragma once

#include <cstdio>
#include <string>

#include "protocol/modes.h"

namespace tarnix {

struct ReportOptions {
    int verbose = 0;
    bool setFromIni = false;
    std::string target;
    std::string iniFile;
};

// Whether the Changes section lists a flagged mode: its two whole-table
// values differ ignoring case. A value the unit reported only once counts
// as a change; one it never reported does not.
bool valueChanged(const protocol::ModeRecord& record);

void printReport(std::FILE* out, const protocol::ModeTable& table, const ReportOptions& options);

}  // namespace tarnix
