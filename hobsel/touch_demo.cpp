// SPDX-License-Identifier: Apache-2.0
#include "hobsel/touch_demo.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "hobsel/lookup.h"
#include "hobsel/seams.h"
#include "hobsel/unit_link.h"
#include "platform/regular_file.h"
#include "protocol/text.h"

namespace hobsel {

namespace {

using protocol::equalsIgnoreCase;

const char* truth(bool value) {
    return value ? "TRUE" : "FALSE";
}

void closeOrKeep(Context& c, bool keepOpen) {
    if (keepOpen) {
        c.say(2, "...leaving socket open\n");
        return;
    }
    c.say(2, "...closing socket\n");
    c.unitConnection.close();
}

void setRoot(TouchDemo& d, const std::optional<std::string>& value) {
    std::string root = "<";
    if (value) {
        // Room is kept for the "/" so a long directory is cut, not run on.
        root += protocol::cut(*value, kMostImageRoot - 2);
        if (root.back() != '/')
            root += '/';
    }
    d.imageRoot = root;
}

// Runs one operation; false when it cannot run.
bool processOp(Context& c, const TouchEntry& entry) {
    TouchDemo& d = *c.demo;
    const std::string& name = entry.name;
    if (equalsIgnoreCase(name, "TOUCH")) {
        d.processTouch = readBoolean(entry.value, true);
        c.say(2, "Setting touchProcessTouch to %s\n", truth(d.processTouch));
    } else if (equalsIgnoreCase(name, "MSR")) {
        d.processMsr = readBoolean(entry.value, true);
        c.say(2, "Setting touchProcessMSR to %s\n", truth(d.processMsr));
    } else if (equalsIgnoreCase(name, "SCAN")) {
        d.processScan = readBoolean(entry.value, true);
        c.say(2, "Setting touchProcessScan to %s\n", truth(d.processScan));
    } else if (equalsIgnoreCase(name, "TIMEOUT")) {
        if (!entry.value)
            return false;
        // Text that is not a number sets no time-out.
        d.touchTimeout = static_cast<int>(std::strtol(entry.value->c_str(), nullptr, 10));
        c.say(2, "Setting touchTimeout to %d\n", d.touchTimeout);
    } else if (equalsIgnoreCase(name, "IMAGE")) {
        if (!entry.value)
            return false;
        c.say(2, "Displaying image: %s\n", protocol::escapeControls(*entry.value).c_str());
        tdSendFile(c, entry.value, false);
    } else if (equalsIgnoreCase(name, "ROOT_DIR")) {
        setRoot(d, entry.value);
    } else if (equalsIgnoreCase(name, "EXIT")) {
        c.say(2, "tpExit\n");
        exitDemoProcessing(c);
    }
    return true;
}

bool initializeState(Context& c, const TouchState& state) {
    c.say(2, "initializeState %s\n", state.name.c_str());
    if (equalsIgnoreCase(state.name, "INIT"))
        tdSendMode(c, "POSTimeout=999999", false);
    for (const TouchEntry& entry : state.entries) {
        if (!isOperationName(entry.name))
            continue;
        c.say(2, "processOp %s\n", entry.name.c_str());
        if (!processOp(c, entry))
            return false;
    }
    return true;
}

std::optional<std::string> touchTarget(const TouchDemo& d, const TouchState& state) {
    for (const TouchEntry& entry : state.entries) {
        if (isOperationName(entry.name) && isBooleanValue(entry.value))
            continue;
        auto rectangle = readRectangle(entry.name);
        if (rectangle && rectangle->second == entry.name.size() &&
            rectangle->first.contains(d.touchColumn, d.touchRow)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

std::optional<std::string> processMSInput(Context& c, const TouchState& state,
                                          std::string_view word) {
    for (const TouchEntry& entry : state.entries) {
        if (!equalsIgnoreCase(entry.name, word) || !entry.value || isBooleanValue(entry.value))
            continue;
        const TouchState* next = c.demo->table.find(*entry.value);
        c.say(2, "processMSInput newstate is %s\n", next ? next->name.c_str() : "<NULL>");
        if (!next)
            return std::nullopt;
        return next->name;
    }
    c.say(2, "processMSInput fail\n");
    return std::nullopt;
}

std::optional<std::string> nextState(Context& c, TouchInput kind, const TouchState* state) {
    const TouchDemo& d = *c.demo;
    if (state == nullptr)
        return std::nullopt;
    switch (kind) {
        case TouchInput::Touch:
            return d.processTouch ? touchTarget(d, *state) : std::nullopt;
        case TouchInput::Msr:
            if (!d.processMsr)
                return std::nullopt;
            c.say(2, "processMSRInput\n");
            return processMSInput(c, *state, "MSR");
        case TouchInput::Scan:
            if (!d.processScan)
                return std::nullopt;
            c.say(2, "processScanInput\n");
            return processMSInput(c, *state, "SCAN");
    }
    return std::nullopt;
}

}  // namespace

void initTouchDemo(Context& c) {
    c.say(2, "initTouchDemo\n");
    TouchDemo& d = *c.demo;
    c.unitConnection.close();
    d.current = nullptr;
    d.touchTimeout = 0;
    d.processTouch = d.processMsr = d.processScan = false;
}

void disableTouchDemo(Context& c) {
    c.say(2, "disableTouchDemo\n");
    initTouchDemo(c);
    c.settings.touchDemo = false;
}

bool loadTouchDemo(Context& c) {
    initTouchDemo(c);
    TouchDemo& d = *c.demo;
    // Opened as the answers' files are: a FIFO or a device put in its place
    // is refused rather than waited on with every unit behind it.
    platform::ReadFile file = platform::openRegularFile(d.scriptPath);
    if (!file) {
        initTouchDemo(c);
        return false;
    }
    std::string text(kMostTouchFile, '\0');
    text.resize(std::fread(text.data(), 1, kMostTouchFile, file.get()));
    file.reset();
    if (text.empty()) {
        initTouchDemo(c);
        return false;
    }
    d.table = parseTouchTable(text);
    return d.table.usable();
}

bool tdMaybeOpen(Context& c) {
    if (c.unitConnection)
        return true;
    UnitLink link = connectToUnit(c, c.demo->unitAddress, true);
    if (link.failure == UnitLinkFailure::Startup)
        c.write("Requested socket version not supported: %d\n", link.error);
    c.unitConnection = Outlet(std::move(link.socket), c.unitTimeout);
    return static_cast<bool>(c.unitConnection);
}

void tdSendMode(Context& c, std::string_view text, bool keepOpen) {
    c.say(2, "tdSendMode\n");
    if (text.empty() || !tdMaybeOpen(c))
        return;
    std::vector<std::uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    framedSend(c, &c.unitConnection, "MDSQ", body);
    closeOrKeep(c, keepOpen);
}

void tdSendFile(Context& c, const std::optional<std::string>& image, bool keepOpen) {
    if (!image)
        return;
    if (!tdMaybeOpen(c)) {
        c.say(2, "tdMaybeOpen failed\n");
        return;
    }
    TouchDemo& d = *c.demo;
    std::string name = *image;  // `image` may be the last image itself
    d.lastImage = name;
    c.say(2, "tdSendFile\n");
    std::string reference(protocol::cut(d.imageRoot + name, kMostImageReference));
    fileSend(c, &c.unitConnection, reference);
    closeOrKeep(c, keepOpen);
}

void exitDemoProcessing(Context& c) {
    c.say(2, "exitDemoProcessing\n");
    tdSendMode(c, "POSTimeout=0", true);
    tdSendFile(c, c.demo->lastImage, true);
    c.sleep(std::chrono::milliseconds(1000));
    tdSendMode(c, "POSTimeout=10", false);
    initTouchDemo(c);
}

bool touchEnterState(Context& c, const std::optional<std::string>& name) {
    TouchDemo& d = *c.demo;
    if (!name)
        return true;
    if (d.current != nullptr && equalsIgnoreCase(d.current->name, *name)) {
        c.say(2, "touchEnterState no change\n");
        return true;
    }
    if (equalsIgnoreCase(*name, "EXIT")) {
        c.say(2, "touchEnterState exit\n");
        exitDemoProcessing(c);
        return true;
    }
    c.say(2, "touchEnterState try to enter %s ", name->c_str());
    d.current = d.table.find(*name);
    if (d.current == nullptr) {
        c.say(2, "failed\n");
        return false;
    }
    c.say(2, "succeeded\n");
    return initializeState(c, *d.current);
}

void handleTouchInput(Context& c, TouchInput kind) {
    TouchDemo& d = *c.demo;
    if (d.current == nullptr) {
        if (!loadTouchDemo(c))
            return;
        if (!touchEnterState(c, std::string("INIT")))
            return;
    }
    std::optional<std::string> next = nextState(c, kind, d.current);
    if (!touchEnterState(c, next))
        touchEnterState(c, std::string("EXIT"));
}

void touchDemoTouch(Context& c, platform::Ipv4 peer, int column, int row) {
    TouchDemo& d = *c.demo;
    std::time_t now = c.clock();
    if (now <= d.nextTouchTime) {
        c.say(2, "Touch discarded\n");
        return;
    }
    d.nextTouchTime = now + 1;
    d.unitAddress = peer;
    d.touchColumn = column;
    d.touchRow = row;
    handleTouchInput(c, TouchInput::Touch);
}

bool touchDemoIdle(const Context& c) {
    return c.demo->current == nullptr;
}

void touchDemoSwipeOrScan(Context& c, std::string_view text) {
    handleTouchInput(c, !text.empty() && text[0] == '%' ? TouchInput::Msr : TouchInput::Scan);
}

}  // namespace hobsel
