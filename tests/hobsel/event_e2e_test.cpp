// SPDX-License-Identifier: Apache-2.0
// Events sent by the simulated unit to the real Hobsel, and the answers
// Hobsel pushes back to the unit's port 1283.
#include <gtest/gtest.h>

#include <thread>

#include "protocol/payload.h"
#include "tests/hobsel/pushing_unit.h"

namespace hobsel_test {
namespace {

using namespace std::chrono_literals;

const std::string kEventData =
    "EV6A\tkey A\n"
    "EV6\tkey %c!\n"
    "EV50312\ttouch D12\n"
    "EV0\ttouch and key\n"
    "EV1\tbutton one\n"
    "EV4\t|>\\x00\\x41\n"
    "B\tscanned B\n"
    "T-B\tA0-B2 printed \\x41\n"
    "T-B\tC0-C7 <missing.gif\n"
    "EV2-B\tpressed\n";

Bytes printed(const std::string& text) {
    return support::dataText(protocol::DataSubtype::SpecialText, text,
                             protocol::kHostSpecialPadding);
}

using HobselEvents = PushingUnit;

TEST_F(HobselEvents, EachEventSendsTheRecordOfItsKey) {
    start(22001, 1, {}, kEventData);
    const struct {
        std::uint32_t starts, key, column, row;
        Bytes pushed;  // empty: nothing
    } cases[] = {
        {0x20, 'A', 0, 0, z("key A")},
        {0x20, 'Z', 0, 0, z("key Z!")},
        {0x20, '\r', 0, 0, z("key \r!")},
        {0x10, 0, 3, 12, z("touch D12")},
        {0x30, 'A', 0, 0, z("touch and key")},
        {0x11, 0, 0, 0, z("button one")},
        // A record goes as it stands: no escapes decoded, both zero bytes.
        {0x08, 0, 0, 0, z("|>\\x00\\x41") + Bytes{0}},
        {0x02, 0, 0, 0, {}},
        {0x10, 0, 3, 11, {}},
    };
    std::vector<Bytes> expected;
    for (const auto& c : cases) {
        unitsim::HostReply reply = event(c.starts, c.key, c.column, c.row);
        EXPECT_TRUE(reply.connected);
        EXPECT_TRUE(reply.bytes.empty());  // answers go to the unit's own port
        if (!c.pushed.empty())
            expected.push_back(c.pushed);
    }
    EXPECT_EQ(streams(expected.size()), expected);
}

TEST_F(HobselEvents, BareKeySwitchUsesTheKeyTemplate) {
    start(22002, 2, {"-k"}, kEventData);
    event(0x20, 'A');
    EXPECT_EQ(streams(1), std::vector<Bytes>{z("key A!")});
}

TEST_F(HobselEvents, PrintingOncePerScanWithinTheThreshold) {
    start(22003, 3, {"-e"}, kEventData);
    EXPECT_EQ(server_->barcode("B", 3), z("scanned B"));
    event(0x10, 0, 1, 1);  // inside A0-B2: prints
    event(0x10, 0, 1, 1);  // printed already
    event(0x02);           // so is the button
    EXPECT_EQ(server_->barcode("B", 3), z("scanned B"));
    event(0x02);  // armed again
    EXPECT_EQ(server_->barcode("B", 3), z("scanned B"));
    event(0x10, 0, 2, 5);  // C0-C7 names a picture, which leaves the print armed
    event(0x02);
    EXPECT_EQ(streams(4), (std::vector<Bytes>{
                              printed("printed A"), printed("pressed"), {}, printed("pressed")}));
}

TEST_F(HobselEvents, PrintingAfterTheThresholdOrBeforeAnyScanIsTooOld) {
    start(22004, 4, {"-e", "-t0", "-v", "-v"}, kEventData + "EV1-\tno scan yet\n");
    event(0x01);
    ASSERT_TRUE(server_->waitForOutput("Check out button EV1-\n"));
    EXPECT_TRUE(server_->waitForOutput("Button found\nToo old\n"));
    EXPECT_EQ(server_->barcode("B", 4), z("scanned B"));
    std::this_thread::sleep_for(1200ms);  // more than zero seconds later
    event(0x10, 0, 0, 0);
    event(0x02);
    EXPECT_TRUE(streams(0).empty());
    std::string out = server_->output();
    EXPECT_NE(out.find("Looking up T-B\n"), std::string::npos);
    EXPECT_NE(out.find("Check out button EV2-B\n"), std::string::npos);
}

TEST_F(HobselEvents, UnreachableUnitIsReportedAndServingGoesOn) {
    start(22005, 250, {}, kEventData, false);
    event(0x11);
    EXPECT_TRUE(server_->waitForOutput("Error connecting to node 127.0.5.250\n"));
    event(0x20, 'A');
    EXPECT_EQ(server_->barcode("B", 250), z("scanned B"));
    EXPECT_TRUE(server_->running());
    EXPECT_NE(server_->output().find("Error connecting to node 127.0.5.250\n"
                                     "Error connecting to node 127.0.5.250\n"),
              std::string::npos);
}

}  // namespace
}  // namespace hobsel_test
