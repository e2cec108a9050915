// SPDX-License-Identifier: Apache-2.0
// frmMain's control table: every control's name on the form, caption and
// design place in twips, and the tab order. Both views build their widgets
// from it; the layout rule (layout_rule.h) then moves the resizable ones.
#pragma once

#include <span>

#include "frontends/veltrin/view.h"
#include "ui/control_spec.h"

namespace veltrin {

// The client area at start, in twips.
inline constexpr int kClientWidth = 9795;
inline constexpr int kClientHeight = 8955;

struct ControlRow {
    Control control;
    ui::ControlSpec spec;
};

// Every control of the window, in the order of the Control enumeration.
std::span<const ControlRow> controlTable();
const ui::ControlSpec& spec(Control control);

// The buttons, in the order their columns and rows are read on the form.
inline constexpr Control kButtons[] = {
    Control::Read,      Control::SetMode,    Control::Disconnect, Control::Commit,
    Control::TextReset, Control::RefreshAll, Control::SaveToFile, Control::Restart,
    Control::Help,      Control::Exit,       Control::Ok,
};

}  // namespace veltrin
