// SPDX-License-Identifier: Apache-2.0
// The in-process unit on its config port, talked to as the clients do: with
// the protocol core's send and receive loops.
#include "unitsim/unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <thread>

#include "platform/socket.h"
#include "protocol/modes.h"
#include "protocol/payload.h"
#include "protocol/transport.h"

namespace unitsim {
namespace {

using namespace std::chrono_literals;
using protocol::ReplyMode;
using protocol::ReplyStatus;
using Bytes = std::vector<std::uint8_t>;

// A configuration client's connection to the unit.
class Client {
  public:
    explicit Client(const std::string& address) : buffer_(102400) {
        socket_ = platform::createTcpSocket();
        connected_ = platform::connectWithTimeout(socket_, *platform::lookupHost(address), 1283, 2s);
        platform::setReceiveTimeout(socket_, 3s);
    }
    bool connected() const { return connected_; }
    const platform::Socket& socket() const { return socket_; }

    // Sends a query and reads the reply: its status and body text.
    ReplyStatus ask(std::string_view text, std::string& body,
                    ReplyMode mode = ReplyMode::SkipKeepAlives) {
        EXPECT_TRUE(protocol::sendQuery(socket_, buffer_, text));
        return receive(body, mode);
    }
    // Sends a query without reading a reply.
    bool sendOnly(std::string_view text) { return protocol::sendQuery(socket_, buffer_, text); }
    ReplyStatus receive(std::string& body, ReplyMode mode = ReplyMode::SkipKeepAlives) {
        ReplyStatus status = protocol::receiveReply(socket_, buffer_, mode);
        body.clear();
        if (status != ReplyStatus::Failed) {
            auto frame = protocol::FrameView::from(buffer_);
            body = std::string(frame->bodyText());
            code_ = std::string(reinterpret_cast<const char*>(buffer_.data() + 4), 4);
        }
        return status;
    }
    std::string lastCode() const { return code_; }
    bool send(const Bytes& bytes) { return platform::sendAll(socket_, bytes.data(), bytes.size()); }
    // True when the unit closed the connection (end of stream or reset within
    // the time-out).
    bool closedByUnit() {
        std::uint8_t byte;
        long n = platform::receiveSome(socket_, &byte, 1);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }

  private:
    platform::Socket socket_;
    bool connected_ = false;
    Bytes buffer_;
    std::string code_;
};

std::unique_ptr<Unit> startUnit(const std::string& address, Faults faults = {},
                                std::string journal = {}) {
    Options options;
    options.address = address;
    options.faults = std::move(faults);
    options.journalPath = std::move(journal);
    auto unit = std::make_unique<Unit>(options);
    std::string error;
    EXPECT_TRUE(unit->start(error)) << error;
    return unit;
}

bool hasLine(const Unit& unit, const std::string& line) {
    auto lines = unit.journal();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(UnitsimConversation, AClientSessionFromForceLinesToRestart) {
    auto unit = startUnit("127.0.0.10");
    Client c("127.0.0.10");
    ASSERT_TRUE(c.connected());
    std::string body;
    EXPECT_EQ(c.ask("", body), ReplyStatus::Reply);  // before ForceHelpText: no help texts
    EXPECT_EQ(body.find('\t'), std::string::npos);
    for (const char* force : {"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=TRUE"}) {
        EXPECT_EQ(c.ask(force, body), ReplyStatus::Reply) << force;
        EXPECT_EQ(c.lastCode(), "MODR");
    }
    protocol::ModeTable table;
    ASSERT_EQ(c.ask("", body), ReplyStatus::Reply);
    table.parseDefinitions(body);
    ASSERT_EQ(table.count(), defaultModes().size());
    int id = table.findMode("UNITID");
    ASSERT_GE(id, 0);
    EXPECT_EQ(table[id].type, "STRING");
    EXPECT_EQ(table[id].size, 16);
    EXPECT_EQ(table[id].help, "Name the unit reports to its host");
    ASSERT_EQ(c.ask("*", body), ReplyStatus::Reply);
    table.fillValues(body, &protocol::ModeRecord::nvram);
    EXPECT_EQ(table[table.findMode("UnitStatus")].nvram, "OK");
    EXPECT_EQ(table[table.findMode("BarcodePrefix")].nvram, "");

    EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Reply);
    EXPECT_EQ(body, "UnitStatus = OK\r\n");
    EXPECT_EQ(c.ask("unitID = 10.0.0.5", body), ReplyStatus::Reply);
    EXPECT_EQ(c.ask("POSTimeout=30", body), ReplyStatus::Reply);
    EXPECT_EQ(protocol::oneModeValue(body), "30");
    for (const char* bad : {"Nope = 1", "buildInfo=7", "UnitID = 12345678901234567"}) {
        EXPECT_EQ(c.ask(bad, body), ReplyStatus::ErrorReport) << bad;
        EXPECT_FALSE(body.empty());
    }
    EXPECT_EQ(c.ask("Commit = TRUE", body), ReplyStatus::Reply);
    EXPECT_EQ(unit->committedValue("UnitID"), "10.0.0.5");
    EXPECT_EQ(c.ask("TextReset = Not kept", body), ReplyStatus::Reply);
    EXPECT_EQ(unit->value("textreset"), "Not kept");
    ASSERT_TRUE(c.sendOnly("RESTART=TRUE"));
    EXPECT_TRUE(c.closedByUnit());
    EXPECT_EQ(unit->value("TextReset"), "Please scan an item");
    EXPECT_EQ(unit->value("UnitID"), "10.0.0.5");
    EXPECT_FALSE(unit->value("NoSuchMode"));
    EXPECT_TRUE(hasLine(*unit, "recv MDSQ \"RESTART=TRUE\""));
    EXPECT_TRUE(hasLine(*unit, "send ERR_ \"Unknown mode: Nope\""));

    // Force flags belong to the connection: a new one starts without them.
    Client again("127.0.0.10");
    EXPECT_EQ(again.ask("ProductName=x", body), ReplyStatus::Reply);
    EXPECT_EQ(body, "Mode ProductName is read-only");
    EXPECT_EQ(unit->connections(), 2);
}

TEST(UnitsimRecording, TextAndNonQueryFramesAreRecordedExactlyAndNotAnswered) {
    auto unit = startUnit("127.0.0.11");
    Client c("127.0.0.11");
    using namespace std::string_view_literals;
    Bytes text = bytesOf("12345\0"sv);
    Bytes data(64);
    data.resize(protocol::buildDataText(data, protocol::DataSubtype::DisplayText, "Hi", 41));
    Bytes rgst(64);
    rgst.resize(protocol::buildEmpty(rgst, protocol::FrameType::Registration));
    Bytes term(64);
    term.resize(protocol::buildEmpty(term, protocol::FrameType::Terminate));
    Bytes all;
    for (const Bytes* b : {&text, &data, &rgst, &term}) all.insert(all.end(), b->begin(), b->end());
    ASSERT_TRUE(c.send(all));  // all at once: the unit must cut them apart
    ASSERT_TRUE(unit->waitForReceived(4, 3s));
    std::string body;
    EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Reply);  // the first reply is this one
    EXPECT_EQ(body, "UnitStatus = OK\r\n");
    auto received = unit->received();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_FALSE(received[0].framed);
    EXPECT_EQ(received[0].bytes, text);
    EXPECT_TRUE(received[1].framed);
    EXPECT_EQ(received[1].bytes, data);
    EXPECT_EQ(received[2].bytes, rgst);
    EXPECT_EQ(received[3].bytes, term);
    EXPECT_TRUE(hasLine(*unit, "recv text \"12345\""));
    EXPECT_TRUE(hasLine(*unit, "recv DATA TEXT \"Hi\""));
    EXPECT_TRUE(hasLine(*unit, "recv TERM \"\""));
    auto streams = unit->streams();
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(Bytes(streams[0].begin(), streams[0].begin() + all.size()), all);
}

TEST(UnitsimRecording, TextCutShortByCloseIsKeptAndAHostPushIsTakenWhileAnotherClientWaits) {
    auto unit = startUnit("127.0.0.12");
    Client holder("127.0.0.12");  // holds a connection open, sends nothing
    ASSERT_TRUE(holder.connected());
    {
        Client tarnix("127.0.0.12");
        ASSERT_TRUE(tarnix.send(bytesOf("literal without zero")));
    }
    ASSERT_TRUE(unit->waitForReceived(1, 3s));
    EXPECT_TRUE(hasLine(*unit, "recv text \"literal without zero\""));
    {
        Client host("127.0.0.12");
        using namespace std::string_view_literals;
        ASSERT_TRUE(host.send(bytesOf("<img.gif;x\0\0\0\0\4GIF8raw\0\0"sv)));
    }
    ASSERT_TRUE(unit->waitForReceived(4, 3s));
    EXPECT_TRUE(hasLine(*unit, "recv text \"<img.gif;x\" file 4 bytes"));
    EXPECT_TRUE(hasLine(*unit, "recv text \"raw\""));
    auto received = unit->received();
    EXPECT_EQ(received.size(), 4u);  // the final zero byte is kept too
    EXPECT_TRUE(hasLine(*unit, "recv partial 00"));
    std::string body;
    EXPECT_EQ(holder.ask("UnitStatus", body), ReplyStatus::Reply);
}

TEST(UnitsimFaults, KeepAlivesComeAheadOfEveryReply) {
    Faults faults;
    faults.keepAlivesBeforeReply = 2;
    auto unit = startUnit("127.0.0.13", faults);
    Client c("127.0.0.13");
    std::string body;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(c.ask(i == 0 ? "UnitID" : "ProductName=x", body, ReplyMode::AnyFrame),
                  ReplyStatus::Reply);
        EXPECT_EQ(c.lastCode(), "DATA");
        EXPECT_EQ(c.receive(body, ReplyMode::AnyFrame), ReplyStatus::Reply);
        EXPECT_EQ(c.lastCode(), "DATA");
        EXPECT_EQ(c.receive(body, ReplyMode::AnyFrame), ReplyStatus::Reply);
        EXPECT_EQ(c.lastCode(), "MODR");
    }
    EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Reply);  // skipped by the core
    EXPECT_EQ(body, "UnitStatus = OK\r\n");
    EXPECT_TRUE(hasLine(*unit, "send DATA NOP_"));
}

TEST(UnitsimFaults, SlowReplyWaitsWhileOtherConnectionsAreServed) {
    Faults faults;
    faults.replyDelay = 400ms;
    auto unit = startUnit("127.0.0.14", faults);
    Client slow("127.0.0.14");
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(slow.sendOnly("UnitStatus"));
    Client push("127.0.0.14");
    Bytes term(16);
    term.resize(protocol::buildEmpty(term, protocol::FrameType::Terminate));
    ASSERT_TRUE(push.send(term));
    ASSERT_TRUE(unit->waitForReceived(2, 3s));
    std::string body;
    EXPECT_EQ(slow.receive(body), ReplyStatus::Reply);
    EXPECT_EQ(body, "UnitStatus = OK\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 350ms);
}

TEST(UnitsimFaults, ReplyCutMidFrameThenClosedOnceOnly) {
    auto unit = startUnit("127.0.0.15");
    Faults faults;
    faults.dropMidFrame = true;
    unit->setFaults(faults);
    std::string body;
    {
        Client c("127.0.0.15");
        EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Failed);
    }
    EXPECT_TRUE(
        hasLine(*unit, "send MODR \"UnitStatus = OK\\r\\n\" (cut after 13 of 26 bytes, closed)"));
    Client c("127.0.0.15");
    EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Reply);
}

TEST(UnitsimFaults, OversizedLengthFieldOnTheNextReply) {
    Faults faults;
    faults.oversizedLength = true;
    auto unit = startUnit("127.0.0.16", faults);
    Client c("127.0.0.16");
    ASSERT_TRUE(c.sendOnly("UnitStatus"));
    std::uint8_t header[4];
    ASSERT_EQ(platform::receiveExactly(c.socket(), header, 4), platform::ReceiveStatus::Complete);
    EXPECT_EQ(protocol::readBE32(header), 0x7FFFFFF0u);
    Client next("127.0.0.16");
    std::string body;
    EXPECT_EQ(next.ask("UnitStatus", body), ReplyStatus::Reply);
}

TEST(UnitsimFaults, SilentRefusedAndDriftingChangeWhileRunning) {
    auto unit = startUnit("127.0.0.17");
    Client c("127.0.0.17");
    std::string body;
    c.ask("ForceResponse=TRUE", body);
    c.ask("ForceError=TRUE", body);
    Faults faults;
    faults.refusedModes = {"UnitID"};
    faults.driftingMode = "HostPort";
    unit->setFaults(faults);
    EXPECT_EQ(c.ask("UnitID=abc", body), ReplyStatus::ErrorReport);
    EXPECT_EQ(body, "Mode UnitID refused the value");
    EXPECT_EQ(c.ask("HostPort", body), ReplyStatus::Reply);
    EXPECT_EQ(c.ask("HostPort", body), ReplyStatus::Reply);
    EXPECT_EQ(body, "HostPort = 1284\r\n");
    faults.silent = true;
    unit->setFaults(faults);
    platform::setReceiveTimeout(c.socket(), 300ms);
    EXPECT_EQ(c.ask("UnitStatus", body), ReplyStatus::Failed);
    EXPECT_TRUE(hasLine(*unit, "recv MDSQ \"UnitStatus\""));
}

TEST(UnitsimRobustness, MalformedInputClosesOnlyThatConnection) {
    auto unit = startUnit("127.0.0.18");
    Client holder("127.0.0.18");
    std::string body;
    holder.ask("ForceResponse=TRUE", body);
    struct Case {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"length 3", {0, 0, 0, 3, 'M', 'D', 'S', 'Q'}},
        {"length 0", {0, 0, 0, 0}},
        {"length far too big", {0, 0x7F, 0xFF, 0xFF, 'M', 'D', 'S', 'Q', 0}},
        {"text longer than any message", Bytes((1 << 20) + 10, 'x')},
        {"inline file too big", {'<', 'a', 0, 0x7F, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Client bad("127.0.0.18");
        bad.send(c.bytes);  // may fail once the unit has given up
        EXPECT_TRUE(bad.closedByUnit());
    }
    // Frames cut short by the peer, and junk frames of every length near the header.
    for (std::uint8_t length = 8; length < 14; ++length) {
        Client c("127.0.0.18");
        Bytes junk = {0, 0, 0, length, 'D', 'A', 'T', 'A', 0xFF, 0xFE, 0, 1, 2};
        junk.resize(length);
        EXPECT_TRUE(c.send(junk));
        EXPECT_TRUE(c.send({0, 0, 0, 40, 'E', 'V'}));
    }
    EXPECT_EQ(holder.ask("UnitStatus", body), ReplyStatus::Reply);
    EXPECT_EQ(body, "UnitStatus = OK\r\n");
    EXPECT_TRUE(hasLine(*unit, "note #2 bad length 3, closing"));
}

TEST(UnitsimLifecycle, JournalFileFollowsAndABoundAddressIsReported) {
    std::string path = ::testing::TempDir() + "unitsim_journal_test.log";
    std::remove(path.c_str());
    auto unit = startUnit("127.0.0.19", {}, path);
    {
        Client c("127.0.0.19");
        std::string body;
        c.ask("UnitStatus", body);
    }
    Unit second([] {
        Options o;
        o.address = "127.0.0.19";
        return o;
    }());
    std::string error;
    EXPECT_FALSE(second.start(error));
    EXPECT_EQ(error.rfind("cannot bind 127.0.0.19:1283: ", 0), 0u) << error;
    unit->stop();
    std::FILE* f = std::fopen(path.c_str(), "r");
    ASSERT_TRUE(f);
    std::string content(4096, '\0');
    content.resize(std::fread(content.data(), 1, content.size(), f));
    std::fclose(f);
    std::string expected;
    for (const std::string& line : unit->journal()) expected += line + "\n";
    EXPECT_EQ(content, expected);
    EXPECT_NE(content.find("send MODR \"UnitStatus = OK\\r\\n\"\n"), std::string::npos);
    // Restarts at once on the same address.
    EXPECT_TRUE(unit->start(error)) << error;
    std::remove(path.c_str());
}

}  // namespace
}  // namespace unitsim
