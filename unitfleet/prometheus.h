// SPDX-License-Identifier: Apache-2.0
// The status of a fleet in the text exposition format that a node
// exporter's textfile collector reads: one gauge family per measure, a
// sample per unit labelled with its name and address.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace unitfleet {

struct UnitSample {
    std::string unit;  // the unit's name, else its address
    std::string address;
    bool up = false;
    bool statusOk = false;
    double replySeconds = 0;  // only for units that are up
};

// A label value with '\', '"' and line feeds escaped.
std::string labelValue(std::string_view text);

// unit_up, unit_status_ok and unit_reply_seconds, each with HELP and TYPE
// lines; units that are down have no reply time.
std::string exposition(const std::vector<UnitSample>& samples);

}  // namespace unitfleet
