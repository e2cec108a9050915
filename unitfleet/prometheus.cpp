// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/prometheus.h"

#include <cstdio>

namespace unitfleet {

namespace {

std::string labels(const UnitSample& sample) {
    return "{unit=\"" + labelValue(sample.unit) + "\",address=\"" + labelValue(sample.address) +
           "\"}";
}

void family(std::string& text, const char* name, const char* help) {
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
}

}  // namespace

std::string labelValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string exposition(const std::vector<UnitSample>& samples) {
    std::string text;
    family(text, "unit_up", "Whether the unit answered its UnitStatus query (1) or not (0).");
    for (const UnitSample& s : samples) text += "unit_up" + labels(s) + (s.up ? " 1\n" : " 0\n");
    family(text, "unit_status_ok", "Whether the unit reported an OK UnitStatus (1) or not (0).");
    for (const UnitSample& s : samples)
        text += "unit_status_ok" + labels(s) + (s.statusOk ? " 1\n" : " 0\n");
    family(text, "unit_reply_seconds",
           "Seconds from the start of the connect to the UnitStatus reply.");
    for (const UnitSample& s : samples) {
        if (!s.up)
            continue;
        char value[32];
        std::snprintf(value, sizeof value, " %.6f\n", s.replySeconds);
        text += "unit_reply_seconds" + labels(s) + value;
    }
    return text;
}

}  // namespace unitfleet
