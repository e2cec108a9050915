// SPDX-License-Identifier: Apache-2.0
// The scripted touch-screen demonstration: a table of states from
// "touch.dat"; entering a state shows its image on the unit, and touches,
// swipes and scans move between states.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "hobsel/context.h"
#include "hobsel/touch_table.h"

namespace hobsel {

// The image root holds "<", the directory and "/" in this many characters.
inline constexpr std::size_t kMostImageRoot = 255;
// A file reference the demo sends holds at most this many characters.
inline constexpr std::size_t kMostImageReference = 511;

enum class TouchInput { Touch, Msr, Scan };

struct TouchDemo {
    std::string scriptPath = "touch.dat";
    TouchTable table;
    // Points into `table`, which is replaced only while no state is current.
    const TouchState* current = nullptr;
    bool processTouch = false;
    bool processMsr = false;
    bool processScan = false;
    int touchTimeout = 0;
    int touchColumn = 0;
    int touchRow = 0;
    platform::Ipv4 unitAddress = 0;
    std::time_t nextTouchTime = 0;
    std::string imageRoot;
    std::optional<std::string> lastImage;
};

// A touch reported by the unit at `peer`.
void touchDemoTouch(Context& c, platform::Ipv4 peer, int column, int row);
// One input of a kind, loading the table first when the demo is idle.
void handleTouchInput(Context& c, TouchInput kind);

// Reads the script afresh; false (and the demo reset) when it cannot be
// read or run.
bool loadTouchDemo(Context& c);
// Enters a state by name; false when the state is missing or one of its
// operations failed.
bool touchEnterState(Context& c, const std::optional<std::string>& name);

void tdSendMode(Context& c, std::string_view text, bool keepOpen);
void tdSendFile(Context& c, const std::optional<std::string>& image, bool keepOpen);
bool tdMaybeOpen(Context& c);
void exitDemoProcessing(Context& c);
void initTouchDemo(Context& c);
void disableTouchDemo(Context& c);

}  // namespace hobsel
