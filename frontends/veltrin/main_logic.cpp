// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/main_logic.h"

#include <string>

#include "frontends/veltrin/mode_report.h"

namespace veltrin {

namespace {

// The controls the help view disables and gives back, in the order their
// states are saved.
constexpr Control kHelpSaved[] = {Control::SetMode,    Control::Commit,     Control::Restart,
                                  Control::Disconnect, Control::Read,       Control::Label1,
                                  Control::TextReset,  Control::SaveToFile, Control::IP};

}  // namespace

MainLogic::MainLogic(Library& library, View& view) : library_(library), view_(view) {
    colours_.fill(ui::kButtonFace);
}

void MainLogic::start() {
    using enum Control;
    enable({Label1, IP, Read, Help, Exit, Grid, UserGuide, Info, Text1}, true);
    enable({SetMode, Disconnect, Commit, TextReset, RefreshAll, SaveToFile, Restart, Ok}, false);
    view_.showControl(UserGuide, false);
    view_.showControl(Ok, false);
    clearGrid();
    // SetTextbox: the editor hidden, over the current cell.
    view_.hideEditor();
    view_.enableControl(Text1, true);
    showStatus(kPrompt);
    view_.giveFocus(IP);
}

// ---- Controls ---------------------------------------------------------

void MainLogic::enable(Control control, bool on) {
    enabled_[index(control)] = on;
    view_.enableControl(control, on);
}

void MainLogic::enable(std::initializer_list<Control> controls, bool on) {
    for (Control control : controls) enable(control, on);
}

void MainLogic::setSignal(Control button, Signal signal) {
    colours_[index(button)] = signalColour(signal);
    view_.setButtonColour(button, signalColour(signal));
}

void MainLogic::resetCheckSignals() {
    setSignal(Control::Commit, Signal::Neutral);
    setSignal(Control::RefreshAll, Signal::Neutral);
}

void MainLogic::showStatus(const std::string& text) {
    status_ = text;
    view_.setStatus(text);
}

void MainLogic::showLibraryProblem() {
    const std::string problem = library_.takeProblem();
    if (!problem.empty())
        showStatus(problem);
}

void MainLogic::resized(int widthTwips, int heightTwips) {
    clientWidth_ = widthTwips;
    clientHeight_ = heightTwips;
    applyLayout();
}

void MainLogic::applyLayout() {
    const Layout layout = layoutFor(clientWidth_, clientHeight_);
    if (layout.apply)
        view_.applyLayout(layout);
}

// ---- Address box, Read Modes, Close, Exit --------------------------------

void MainLogic::addressChanged(const std::string& text) {
    if (!enabled(Control::Read) && text != unitAddress_) {
        view_.setAddress(unitAddress_);
        return;
    }
    unitAddress_ = text;
}

void MainLogic::press(Control button) {
    switch (button) {
        case Control::Read:
            return readModes();
        case Control::SetMode:
            return setMode();
        case Control::Disconnect:
            return disconnect();
        case Control::Commit:
            return commit();
        case Control::TextReset:
            return textReset();
        case Control::RefreshAll:
            return refreshAll();
        case Control::SaveToFile:
            return saveToFile();
        case Control::Restart:
            return restartUnit();
        case Control::Help:
            return showHelp();
        case Control::Ok:
            return closeHelp();
        case Control::Exit:
            return exitProgram();
        default:
            return;
    }
}

void MainLogic::readModes() {
    using enum Control;
    showStatus(kConnecting);
    gridReady_ = false;
    enable(Read, false);
    view_.setBusy(true);
    const short opened = library_.open(unitAddress_);
    setSignal(RefreshAll, Signal::Neutral);
    if (opened == 0) {
        if (library_.lastError() == 1)
            showStatus(kBadAddress);
        view_.setBusy(false);
        enable(Read, true);
        showLibraryProblem();
        return;
    }
    const ModeCount count = modeCountFor(opened);
    modeCount_ = count.rows;
    view_.setBusy(false);
    enable({SetMode, TextReset, SaveToFile}, true);
    showStatus("");
    moveTo(0, 0);
    view_.hideEditor();
    loadTable();
    enable({Disconnect, RefreshAll, Restart}, true);
    enable(Read, false);
    enable(SaveToFile, true);
    gridReady_ = true;
    // The grid takes the focus from the address box without entering a row.
    view_.giveFocus(Grid);
    enable(IP, false);
    library_.close();
    if (count.truncated) {
        const std::string most = std::to_string(kMaxModes);
        showStatus("The unit reports more than " + most + " modes; the first " + most +
                   " are shown.");
    }
    showLibraryProblem();
}

void MainLogic::disconnect() {
    using enum Control;
    enable(Disconnect, false);
    setSignal(RefreshAll, Signal::Neutral);
    enable(Read, true);
    enable({Restart, SetMode, TextReset, SaveToFile}, false);
    gridReady_ = false;
    enable(Commit, false);
    setSignal(SetMode, Signal::Neutral);
    resetRows();
    gridReady_ = true;
    enable(RefreshAll, false);
    enable(IP, true);
    view_.giveFocus(IP);
    clearGrid();
    // The editor would otherwise float over the emptied grid and hand a
    // value typed into it to a row of the next read.
    view_.hideEditor();
}

void MainLogic::exitProgram() {
    view_.quit();
}

// ---- Help view, report and text reset -------------------------------------

void MainLogic::showHelp() {
    using enum Control;
    view_.showControl(UserGuide, true);
    enable(Ok, true);
    view_.showControl(Ok, true);
    enable(Grid, false);
    view_.showControl(Grid, false);
    enable(Info, false);
    view_.showControl(Info, false);
    // A second Help while the view is open must not save the states it set
    // itself, or Ok would give every button back disabled.
    if (!helpOpen_) {
        for (std::size_t i = 0; i < savedEnabled_.size(); ++i)
            savedEnabled_[i] = enabled(kHelpSaved[i]);
    }
    for (Control control : kHelpSaved) enable(control, false);
    helpOpen_ = true;
}

void MainLogic::closeHelp() {
    using enum Control;
    view_.showControl(UserGuide, false);
    enable(Ok, false);
    view_.showControl(Ok, false);
    enable(Grid, true);
    view_.showControl(Grid, true);
    enable(Info, true);
    view_.showControl(Info, true);
    for (std::size_t i = 0; i < savedEnabled_.size(); ++i) enable(kHelpSaved[i], savedEnabled_[i]);
    helpOpen_ = false;
}

void MainLogic::textReset() {
    modeCount_ = modeCountFor(library_.open(unitAddress_)).rows;
    library_.setMode("TextReset", "TRUE");
    library_.close();
    showLibraryProblem();
}

void MainLogic::saveToFile() {
    const std::optional<SaveChoice> choice = view_.askReportFile();
    if (!choice)
        return;
    if (choice->dialogFailed)
        return view_.showMessage(kAppTitle, kSaveError + choice->shownName);
    std::vector<std::string> names;
    std::vector<std::string> contents;
    for (int i = 1; i <= rowsInUse(); ++i) {
        names.push_back(cell(i, 0).text);
        contents.push_back(cell(i, 1).text);
    }
    if (!writeModeReport(choice->file, names, contents))
        view_.showMessage(kAppTitle, kSaveError + choice->shownName);
}

}  // namespace veltrin
