// SPDX-License-Identifier: Apache-2.0
#include "hobsel/event_processing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hobsel/listener.h"
#include "hobsel/seams.h"
#include "protocol/payload.h"
#include "tests/support/process.h"

namespace hobsel {
namespace {

struct Sent {
    bool print;
    std::string bytes;
};

// Events through processEvent with the answers recorded instead of sent.
class EventAnswers : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("hobsel-events");
        context_.settings.dataFile = dir_ + "/data.dat";
        context_.out = capture_.file();
        context_.clock = [this] { return now_; };
        context_.forwardHook = [this](const EventAnswer& a) {
            EXPECT_EQ(a.unit, kPeer);
            sent_.push_back({a.print, std::string(a.record, a.length)});
        };
    }
    void data(const std::string& text) { support::writeFile(context_.settings.dataFile, text); }
    std::vector<Sent> event(std::uint32_t starts, std::uint32_t key = 0, std::uint32_t column = 0,
                            std::uint32_t row = 0) {
        std::vector<std::uint8_t> frame(kRequestSize, 0);
        protocol::Event e;
        e.newStarts = starts;
        e.keyCode = key;
        e.touchColumn = column;
        e.touchRow = row;
        protocol::buildEvent(frame, e);
        std::vector<char> work(kRequestSize, 'w');
        sent_.clear();
        processEvent(context_, frame, kPeer, work);
        return sent_;
    }
    std::string scan(std::string barcode) {
        context_.settings.console = true;
        barcode.resize(kRequestSize + 1, '\0');
        serveRequest(context_, barcode.data(), nullptr, 0);
        context_.settings.console = false;
        return "";
    }
    std::string output() const { return capture_.text(); }
    support::Capture capture_;
    static constexpr platform::Ipv4 kPeer = 0x7F000509;
    std::string dir_;
    std::time_t now_ = 5000;
    std::vector<Sent> sent_;
    Context context_;
};

std::string z(std::string text) {
    text.push_back('\0');
    return text;
}

TEST_F(EventAnswers, EachEventFindsItsKey) {
    data(
        "EV6A\tkey A\n"
        "EV6\tany key %c=%02X\n"
        "EV50312\ttouch D-12\n"
        "EV0\tboth bits\n"
        "EV1\tbutton one\n"
        "EV4\t<missing.gif\n"
        "D\t|>\\x00\\x41\n");
    const struct {
        std::uint32_t starts, key, column, row;
        bool bareKey;
        std::string expected;  // empty: nothing sent
    } cases[] = {
        {0x20, 'A', 0, 0, false, z("key A")},
        {0x20, 'A', 0, 0, true, z("any key A=41")},
        {0x20, 'B', 0, 0, false, z("any key B=42")},
        {0x20, '\r', 0, 0, false, z("any key \r=0D")},
        {0x20, 0, 0, 0, false, z("any key ")},
        {0x10, 0, 3, 12, false, z("touch D-12")},
        {0x10, 0, 0x13, 0x2C, false, z("touch D-12")},  // low four bits only
        {0x10, 0, 3, 11, false, ""},
        {0x30, 'A', 0, 0, false, z("both bits")},
        {0x11, 0, 0, 0, false, z("button one")},
        {0x40, 0, 0, 0, false, z("both bits")},
        {0x08, 0, 0, 0, false, z("<missing.gif")},
        {0x02, 0, 0, 0, false, ""},
        {0x00, 'A', 0, 0, false, ""},
    };
    for (const auto& c : cases) {
        context_.settings.bareKey = c.bareKey;
        std::vector<Sent> sent = event(c.starts, c.key, c.column, c.row);
        std::string got = sent.empty() ? "" : sent[0].bytes;
        EXPECT_EQ(got, c.expected) << std::hex << c.starts << " key " << c.key;
        EXPECT_LE(sent.size(), 1u);
        if (!sent.empty()) {
            EXPECT_FALSE(sent[0].print);
        }
    }
}

TEST_F(EventAnswers, KeyCodeIsKeptFromTheLastKeyEvent) {
    data("EV6\tkey %c\nEV3\tkey was %d\n");
    EXPECT_EQ(event(0x20, 'Q').at(0).bytes, z("key Q"));
    // 0x24 is button 3; its key code is still taken.
    EXPECT_EQ(event(0x24, 'R').at(0).bytes, z("key was %d"));
    EXPECT_EQ(context_.keyCode, 'R');
    event(0x04, 'S');
    EXPECT_EQ(context_.keyCode, 'R');
}

TEST_F(EventAnswers, PrintingFollowsTheLastScan) {
    context_.settings.eventPrinting = true;
    data(
        "B\tscanned\n"
        "T-B\tA0-B2 touched \\x41\n"
        "T-B\tC0 <missing.gif\n"
        "EV2-B\tpressed\n");
    scan("B");
    EXPECT_TRUE(event(0x10, 0, 5, 5).empty());                       // outside every rectangle
    EXPECT_EQ(event(0x10, 0, 2, 0).at(0).bytes, z("<missing.gif"));  // a picture leaves it armed
    std::vector<Sent> sent = event(0x10, 0, 1, 2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].print);
    EXPECT_EQ(sent[0].bytes, z("touched \\x41"));
    EXPECT_TRUE(event(0x10, 0, 1, 2).empty());  // once per scan
    EXPECT_TRUE(event(0x02).empty());

    scan("B");
    now_ += 10;  // the threshold itself is not too old
    EXPECT_TRUE(event(0x02).at(0).print);
    scan("B");
    now_ += 11;
    EXPECT_TRUE(event(0x02).empty());
    EXPECT_TRUE(event(0x10, 0, 0, 0).empty());
    EXPECT_TRUE(context_.printArmed);  // too old leaves the print armed
    std::string out = output();
    EXPECT_EQ(out.find("Too old"), std::string::npos);  // verbosity 0
}

TEST_F(EventAnswers, ForwardingToAnUnreachableUnitIsReportedAndServingGoesOn) {
    context_.forwardHook = nullptr;
    const char record[] = "answer";
    for (platform::Ipv4 unit : {platform::Ipv4(0), platform::Ipv4(0x7F0005FE)}) {
        forwardAnswer(context_, {false, unit, record, sizeof record});
        forwardAnswer(context_, {true, unit, record, sizeof record});
    }
    EXPECT_EQ(output(),
              "Error connecting to node 0.0.0.0\nError connecting to node 0.0.0.0\n"
              "Error connecting to node 127.0.5.254\nError connecting to node 127.0.5.254\n");
}

}  // namespace
}  // namespace hobsel
