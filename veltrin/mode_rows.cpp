#include "veltrin/mode_rows.h"

#include <algorithm>

namespace veltrin {

bool ModeRows::take(int row, const QString& trimmed) {
    if (trimmed.isEmpty())
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

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
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

bool isClockMode(const QString& name) {
    // The unit looks names up ignoring case, so every spelling is the clock.
    return name.compare(u"dateTime", Qt::CaseInsensitive) == 0;
}

}  // namespace veltrin
