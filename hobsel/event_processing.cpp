// SPDX-License-Identifier: Apache-2.0
#include "hobsel/event_processing.h"

#include <cstdio>
#include <cstring>

#include "hobsel/barcode_answer.h"
#include "hobsel/lookup.h"
#include "hobsel/seams.h"
#include "hobsel/touch_demo.h"
#include "hobsel/unit_link.h"
#include "protocol/payload.h"
#include "protocol/text.h"

namespace hobsel {

namespace {

constexpr int kTouchCode = 5;
constexpr int kKeyCode = 6;
constexpr std::uint32_t kKeyBit = 0x20;

std::uint32_t fieldAt(protocol::ConstBytes frame, std::size_t offset) {
    return offset + 4 <= frame.size() ? protocol::readBE32(frame.data() + offset) : 0;
}

// "EV" and the event code, with "-" and the barcode for a printing button.
std::string eventKey(long code, const std::string* barcode = nullptr) {
    std::string key = "EV" + std::to_string(code);
    if (barcode != nullptr)
        key += "-" + *barcode;
    return key;
}

struct Work {
    char* data;
    std::size_t size;
};

void forward(Context& c, bool print, platform::Ipv4 peer, const Work& work, int found) {
    EventAnswer answer{print, peer, work.data, static_cast<std::size_t>(found)};
    if (c.forwardHook) {
        c.forwardHook(answer);
        return;
    }
    forwardAnswer(c, answer);
}

// A touch or button press that prints the answer for the last barcode.
bool tooOld(Context& c, std::time_t now) {
    if (now - c.history.lastScanTime > c.settings.threshold) {
        c.say(2, "Too old\n");
        return true;
    }
    return false;
}

void printingTouch(Context& c, int column, int row, platform::Ipv4 peer, const Work& work,
                   std::time_t now) {
    if (!c.printArmed)
        return;
    std::string key = "T-" + c.history.lastBarcode;
    c.say(2, "Looking up %s\n", protocol::escapeControls(key).c_str());
    c.touchPoint = {column, row};
    int found = lookupRecord(c, key, work.data, work.size, false);
    c.touchPoint = {-1, -1};
    if (found == 0) {
        c.say(2, "Not found\n");
        return;
    }
    if (tooOld(c, now))
        return;
    if (work.data[0] == '<') {
        forward(c, false, peer, work, found);  // a picture does not use up the print
        return;
    }
    c.printArmed = false;
    forward(c, true, peer, work, found);
}

void touchEvent(Context& c, const EventFields& e, platform::Ipv4 peer, const Work& work,
                std::time_t now) {
    if (c.settings.touchDemo) {
        touchDemoTouch(c, peer, static_cast<int>(e.column), static_cast<int>(e.row));
        return;
    }
    int column = static_cast<int>(e.column & 0x0F);
    int row = static_cast<int>(e.row & 0x0F);
    if (c.settings.eventPrinting) {
        printingTouch(c, column, row, peer, work, now);
        return;
    }
    char key[16];
    std::snprintf(key, sizeof key, "EV5%02d%02d", column, row);
    if (int found = lookupRecord(c, key, work.data, work.size, true))
        forward(c, false, peer, work, found);
}

void keyEvent(Context& c, platform::Ipv4 peer, const Work& work) {
    if (!c.settings.bareKey) {
        // The key's own character; a zero or blank key code leaves "EV6".
        std::string key = "EV6";
        key += static_cast<char>(c.keyCode);
        if (int found = lookupRecord(c, key, work.data, work.size, true)) {
            forward(c, false, peer, work, found);
            return;
        }
    }
    if (int found = lookupRecord(c, eventKey(kKeyCode), work.data, work.size, true))
        forward(c, false, peer, work, found);
}

void buttonEvent(Context& c, long code, platform::Ipv4 peer, const Work& work, std::time_t now) {
    if (c.printArmed && c.settings.eventPrinting) {
        std::string key = eventKey(code, &c.history.lastBarcode);
        c.say(2, "Check out button %s\n", protocol::escapeControls(key).c_str());
        int found = lookupRecord(c, key, work.data, work.size, false);
        if (found == 0)
            return;
        c.say(2, "Button found\n");
        if (tooOld(c, now))
            return;
        c.printArmed = false;
        forward(c, true, peer, work, found);
        return;
    }
    if (int found = lookupRecord(c, eventKey(code), work.data, work.size, true))
        forward(c, false, peer, work, found);
}

void sendPrint(Context& c, Outlet& unit, const char* record) {
    c.say(2, "Sending message to printer\n");
    std::vector<std::uint8_t> body = printBody(record);
    if (body.empty())
        return;
    c.say(2, "Ready to print %d\n", static_cast<int>(body.size()));
    framedSend(c, &unit, "DATA", body);
}

void sendRecord(Context& c, Outlet& unit, const EventAnswer& answer) {
    if (answer.record[0] == '<') {
        fileSend(c, &unit, answer.record);
        return;
    }
    sendStep(c, &unit, answer.record, answer.length, Dump::None);
}

}  // namespace

EventFields readEventFields(protocol::ConstBytes frame) {
    return {fieldAt(frame, 8), fieldAt(frame, 20), fieldAt(frame, 24), fieldAt(frame, 28)};
}

void forwardAnswer(Context& c, const EventAnswer& answer) {
    std::string dotted = platform::dotted(answer.unit);
    if (answer.print) {
        c.say(2, "Print to %s\n", dotted.c_str());
    } else {
        c.say(2, "Send [%s] to %s\n", protocol::escapeControls(answer.record).c_str(),
              dotted.c_str());
    }
    UnitLink link = connectToUnit(c, answer.unit, false);
    switch (link.failure) {
        case UnitLinkFailure::Startup:
            c.write("Requested socket version not supported: %d\n", link.error);
            return;
        case UnitLinkFailure::Socket:
            c.write("Error creating socket\n");
            return;
        case UnitLinkFailure::Address:
            c.write("DNS lookup failed for host :%s\n", dotted.c_str());
            return;
        case UnitLinkFailure::Connect:
            c.write("Error connecting to node %s\n", dotted.c_str());
            return;
        case UnitLinkFailure::None:
            break;
    }
    Outlet unit(std::move(link.socket), c.unitTimeout);
    if (answer.print) {
        sendPrint(c, unit, answer.record);
    } else {
        sendRecord(c, unit, answer);
    }
}

void processEvent(Context& c, protocol::ConstBytes frame, platform::Ipv4 peer, std::span<char> work) {
    EventFields e = readEventFields(frame);
    if (e.newStarts == 0 || work.empty())
        return;
    if (e.newStarts & kKeyBit)
        c.keyCode = static_cast<std::int32_t>(e.keyCode);
    c.say(2, "processEvent\n");
    long code = protocol::eventNumber(e.newStarts);
    std::time_t now = c.clock();
    Work w{work.data(), work.size()};
    std::fill(work.begin(), work.end(), '\0');
    switch (code) {
        case kTouchCode:
            touchEvent(c, e, peer, w, now);
            break;
        case kKeyCode:
            keyEvent(c, peer, w);
            break;
        default:
            buttonEvent(c, code, peer, w, now);
            break;
    }
}

}  // namespace hobsel
