// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/mode_rows.h"

#include <algorithm>
#include <cctype>

namespace veltrin {

bool ModeRows::take(int row, const std::string& trimmed) {
    if (trimmed.empty())
        return false;
    ModeRow& r = (*this)[row];
    if (trimmed != r.newContent) {
        r.newContent = trimmed;
        r.state = RowState::Edited;
    }
    return true;
}

bool ModeRows::enter(int row) {
    ModeRow& r = (*this)[row];
    if (r.state != RowState::SetFailed)
        return false;
    r.state = RowState::Clean;
    r.newContent.clear();
    return true;
}

bool ModeRows::anyFailed() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const ModeRow& r) { return r.state == RowState::SetFailed; });
}

void ModeRows::resetAll() {
    for (ModeRow& r : rows_) {
        r.state = RowState::Clean;
        r.newContent.clear();
    }
}

std::string trimSpaces(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') + 1 - begin);
}

Signal setModeSignal(bool failed, bool changed, bool set) {
    if (failed)
        return Signal::Red;
    if (changed)
        return Signal::Yellow;
    if (set)
        return Signal::Green;
    return Signal::Neutral;
}

ModeCount modeCountFor(int fromLibrary) {
    if (fromLibrary < 0 || fromLibrary > kMaxModes)
        return {kMaxModes, true};
    return {fromLibrary, false};
}

bool isClockMode(const std::string& name) {
    // The unit looks names up ignoring case, so every spelling is the clock.
    static const std::string kClock = "datetime";
    return std::equal(name.begin(), name.end(), kClock.begin(), kClock.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

ui::Colour signalColour(Signal signal) {
    switch (signal) {
        case Signal::Red:
            return ui::kRed;
        case Signal::Yellow:
            return ui::kYellow;
        case Signal::Green:
            return ui::kGreen;
        case Signal::Neutral:
            break;
    }
    return ui::kButtonFace;
}

}  // namespace veltrin
