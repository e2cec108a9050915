// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/controls.h"

namespace veltrin {

namespace {

using enum Control;

const ControlRow kTable[] = {
    {Label1, {"Label1", "Unit IP Address:", {240, 240, 1575, 255}}},
    {IP, {"IP", "", {240, 480, 1455, 285}}},
    {Read, {"Read", "Read Modes", {240, 960, 1455, 495}}},
    {SetMode, {"SetMode", "Set Mode", {2040, 240, 1215, 495}}},
    {Disconnect, {"Disconnect", "Close", {2040, 960, 1215, 495}}},
    {Commit, {"Commit", "Commit", {3480, 240, 1215, 495}}},
    {TextReset, {"TextReset", "TextReset", {3480, 960, 1215, 495}}},
    {RefreshAll, {"RefreshAll", "Refresh", {4920, 240, 1215, 495}}},
    {SaveToFile, {"SaveToFile", "SaveToFile", {4920, 960, 1215, 495}}},
    {Restart, {"Restart", "Restart Unit", {6360, 240, 1215, 495}}},
    {Help, {"Help", "Help", {6360, 960, 1215, 495}}},
    {Exit, {"Exit", "Exit", {7800, 240, 1455, 495}}},
    {Grid, {"Grid", "", {240, 1680, 9255, 5595}}},
    {UserGuide, {"UserGuide", "", {240, 1680, 9255, 6855}}},
    {Info, {"Info", "", {240, 7560, 9255, 975}}},
    {Ok, {"Ok", "Ok", {4200, 7680, 1455, 495}}},
    {Text1, {"Text1", "", {7320, 7980, 2055, 285}}},
};

static_assert(std::size(kTable) == kControlCount);

}  // namespace

std::span<const ControlRow> controlTable() {
    return kTable;
}

const ui::ControlSpec& spec(Control control) {
    return kTable[static_cast<std::size_t>(control)].spec;
}

}  // namespace veltrin
