// SPDX-License-Identifier: Apache-2.0
// The logic of the Zorrel window, without a window toolkit: the buttons'
// states, the status texts and every call to the ZORRELLib.Zorrel control.
// Start Server starts the control's server on port 1283 and the 100 ms poll;
// a poll that finds trivial text answers "First Message", pauses two seconds
// (a timer, not a wait: the window keeps handling its events and no poll is
// started meanwhile) and then answers "Second Message"; a PROD frame gets the
// image "header.gif". Exit Server stops everything, a pending pause included.
#pragma once

#include <chrono>
#include <memory>

#include "frontends/control/control.h"
#include "frontends/zorrel/form1_view.h"
#include "ui/control_spec.h"

namespace zorrel {

inline constexpr const char* kUsage =
    "Usage: Zorrel\n"
    "Opens a window that runs a host server for units on TCP port 1283 of every\n"
    "address. Start Server starts it, Exit Server stops it. A unit's plain-text\n"
    "scan is answered with \"First Message\" and, two seconds later, \"Second\n"
    "Message\"; a product query frame (PROD) with the image header.gif (from\n"
    "../share/unitsuite when installed, else from the program's folder); event\n"
    "frames are read and not answered.\n";

inline constexpr const char* kTitle = "Form1";
inline constexpr int kClientWidth = 7425;  // twips
inline constexpr int kClientHeight = 6990;
// The control table: Start Server and Exit Server (in tab order) and the
// status line, emptied when the window loads.
inline constexpr ui::ControlSpec kStartServer{"StartServer", "Start Server", {240, 480, 1695, 615}};
inline constexpr ui::ControlSpec kExitServer{"ExitServer", "Exit Server", {2280, 480, 1695, 615}};
inline constexpr ui::ControlSpec kInfo{"Info", "", {360, 1560, 6615, 735}};

class Form1Logic {
  public:
    static constexpr std::chrono::milliseconds kPollInterval{100};
    static constexpr std::chrono::milliseconds kAnswerPause{2000};

    // The window's load: makes the control by its registered name (none:
    // every call fails), hands it the message text and empties the status
    // line.
    explicit Form1Logic(Form1View& view);

    void startServerPressed();
    void exitServerPressed();
    // A tick of the poll timer.
    void pollTick();
    // The end of the pause of a trivial answer.
    void pauseEnded();
    // The window is closing: no more calls to the control.
    void closing();

  private:
    enum class State { Stopped, StartFailed, Serving, Pausing, Closed };

    frontends::Value call(int dispatchId, frontends::Arguments args = {});
    void answerTrivial();
    void answerNominal();
    void endPoll();

    Form1View& view_;
    std::unique_ptr<frontends::Control> zorrel1_;
    State state_ = State::Stopped;
};

}  // namespace zorrel
