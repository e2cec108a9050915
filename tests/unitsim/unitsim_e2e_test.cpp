// SPDX-License-Identifier: Apache-2.0
// The unitsim program as people and other tests run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/socket.h"
#include "protocol/transport.h"
#include "tests/support/process.h"
#include "unitsim/unit.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

support::RunResult unitsim(std::vector<std::string> args) {
    args.insert(args.begin(), UNITSIM_BIN);
    return support::run(args);
}

// Each command's --help is short and names its own options only; the file
// formats have a page of their own.
TEST(UnitsimProgram, HelpPerCommandAndTheFormats) {
    struct Case {
        std::vector<std::string> args;
        std::vector<const char*> has, hasNot;
    } cases[] = {
        {{"--help"},
         {"--address",
          "--port",
          "--modes",
          "--journal",
          "--name-pattern",
          "--keepalives",
          "--refuse",
          "--drift",
          "--delay",
          "--drop-mid-frame",
          "--oversized-length",
          "--silent",
          "--every",
          "--version",
          "--help-formats",
          "barcode",
          "prod",
          "event",
          "register",
          "raw",
          "load"},
         {"--rate", "--hex", "Mode file:"}},
        {{"barcode", "--help"},
         {"--host", "--port", "--from", "--timeout", "--hex", "--raw"},
         {"--address", "--rate"}},
        {{"load", "--help"},
         {"--messages", "--units", "--rate", "--concurrency", "--count", "--duration", "--timeout",
          "--expect", "--json", "--own-host", "malformed"},
         {"--address", "--hex", "--keepalives"}},
        {{"--help-formats"},
         {"Mode file:", "Name TYPE[,size] [ro] = value", "Journal:", "recv MDSQ \"UnitID = x\"",
          "recv text \"barcode\"", "Answer lines end in CR LF"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        support::RunResult r = unitsim(c.args);
        EXPECT_EQ(r.status, 0);
        for (const char* text : c.has) EXPECT_NE(r.out.find(text), std::string::npos) << text;
        for (const char* text : c.hasNot) EXPECT_EQ(r.out.find(text), std::string::npos) << text;
        std::size_t lines = std::count(r.out.begin(), r.out.end(), '\n');
        EXPECT_LE(lines, 60u) << r.out;
    }
    support::RunResult r = unitsim({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("unitsim ", 0), 0u) << r.out;
}

TEST(UnitsimProgram, BadUsageExitsTwoWithAClearMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--bogus"}, "unitsim: unknown option '--bogus'\n"},
        {{"127.0.0.5"}, "unitsim: unexpected argument '127.0.0.5'\n"},
        {{"--port", "abc"}, "unitsim: bad port 'abc'\n"},
        {{"--port", "70000"}, "unitsim: bad port '70000'\n"},
        {{"--port"}, "unitsim: option --port needs a value\n"},
        {{"--keepalives", "-1"}, "unitsim: bad keep-alive count '-1'\n"},
        {{"--delay", "1s"}, "unitsim: bad delay '1s'\n"},
        {{"--every", "3+3"}, "unitsim: bad share '3+3' (K or K+R, R below K)\n"},
        {{"--address", "127.0.0.9-127.0.0.1"},
         "unitsim: bad address range '127.0.0.9-127.0.0.1' (A-B or A/N, dotted addresses, A "
         "first)\n"},
        {{"--address", "3", "--name-pattern", "TILL%s"},
         "unitsim: name pattern 'TILL%s' may hold only %d, %Nd or %0Nd (N 1 to 9) and %%\n"},
        {{"--address", "3", "--name-pattern", "A-VERY-LONG-SHOP-%04d"},
         "unitsim: name 'A-VERY-LONG-SHOP-0003' is longer than UnitID's 16 characters\n"},
        {{"barcode", "1", "--timeout", "1s"}, "unitsim: bad time-out '1s'\n"},
        {{"barcode"}, "unitsim: barcode takes one TEXT\n"},
        {{"event", "1", "2", "3"}, "unitsim: event takes STARTS KEY COLUMN ROW [TEXT]\n"},
        {{"event", "x", "2", "3", "4"}, "unitsim: bad number 'x'\n"},
        {{"register", "a", "b"}, "unitsim: register takes UNITID PRODUCTID IP\n"},
        {{"raw", "0"}, "unitsim: raw takes hex digits in pairs, e.g. 00000009 4D445351 00\n"},
        {{"raw", "zz"}, "unitsim: raw takes hex digits in pairs, e.g. 00000009 4D445351 00\n"},
        {{"barcode", "1", "--host", "no.such.host.invalid"},
         "unitsim: cannot resolve host 'no.such.host.invalid'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        support::RunResult r = unitsim(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
        EXPECT_EQ(r.out, "");
    }
}

TEST(UnitsimProgram, ModeFileIsCheckedAndPrinted) {
    std::string dir = support::makeTempDir("unitsim_modes");
    support::writeFile(dir + "/good.txt",
                       "# test unit\nUnitID  STRING,8 = U1 # id\nUnitStatus STRING,8 ro = OK\n");
    support::writeFile(dir + "/bad.txt", "UnitID STRING,8 = U1\n\nUnitStatus STRING = OK\n");
    support::RunResult r = unitsim({"--modes", dir + "/good.txt", "--print-modes"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "UnitID STRING,8 = U1  # id\nUnitStatus STRING,8 ro = OK\n");
    r = unitsim({"--modes", dir + "/bad.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "unitsim: " + dir + "/bad.txt: line 3: STRING needs a size, e.g. STRING,16\n");
}

TEST(UnitsimProgram, ServesUntilTerminatedAndJournalsToAFile) {
    std::string dir = support::makeTempDir("unitsim_serve");
    support::writeFile(dir + "/modes.txt", "UnitStatus STRING,8 ro = READY\n");
    support::Background unit({UNITSIM_BIN, "--address", "127.0.0.30", "--modes", dir + "/modes.txt",
                              "--journal", dir + "/journal.log", "--keepalives", "1"});
    ASSERT_TRUE(unit.waitForOutput("unitsim: unit listening on 127.0.0.30:1283\n", 5s));
    {
        platform::Socket s = platform::createTcpSocket();
        ASSERT_TRUE(platform::connectWithTimeout(s, *platform::lookupHost("127.0.0.30"), 1283, 2s));
        platform::setReceiveTimeout(s, 3s);
        Bytes buffer(2048);
        ASSERT_TRUE(protocol::sendQuery(s, buffer, "UnitStatus"));
        ASSERT_EQ(protocol::receiveReply(s, buffer, protocol::ReplyMode::AnyFrame),
                  protocol::ReplyStatus::Reply);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 4, 8), "DATANOP_");
        ASSERT_EQ(protocol::receiveReply(s, buffer), protocol::ReplyStatus::Reply);
        EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 8, "UnitStatus = READY\r\n");
    }
    support::RunResult r = unit.stop();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "unitsim: unit listening on 127.0.0.30:1283\n");
    std::string journal = support::readFile(dir + "/journal.log");
    EXPECT_NE(
        journal.find(
            "recv MDSQ \"UnitStatus\"\nsend DATA NOP_\nsend MODR \"UnitStatus = READY\\r\\n\"\n"),
        std::string::npos)
        << journal;
}

TEST(UnitsimProgram, AnAddressInUseExitsOne) {
    unitsim::Options options;
    options.address = "127.0.0.31";
    unitsim::Unit holder(options);
    std::string error;
    ASSERT_TRUE(holder.start(error)) << error;
    support::RunResult r = unitsim({"--address", "127.0.0.31"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("unitsim: cannot bind 127.0.0.31:1283: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
}

// A host that answers "OK" and its zero byte to the first read; it gives up
// waiting for a connection after a few seconds (accept honours the receive
// time-out).
std::thread answerOnce(std::uint16_t port, std::string* peer) {
    platform::Socket listener = platform::createTcpSocket();
    platform::setReuseAddress(listener);
    EXPECT_TRUE(platform::bindTo(listener, port, *platform::lookupHost("127.0.0.1")));
    EXPECT_TRUE(platform::listenOn(listener, 1));
    platform::setReceiveTimeout(listener, 5s);
    return std::thread([l = std::move(listener), peer]() mutable {
        platform::Ipv4 from = 0;
        platform::Socket c = platform::acceptFrom(l, &from);
        if (!c)
            return;
        *peer = platform::dotted(from);
        std::uint8_t buffer[8192];
        platform::setReceiveTimeout(c, 3s);
        platform::receiveSome(c, buffer, sizeof buffer);
        platform::sendAll(c, "OK", 3);
    });
}

TEST(UnitsimProgram, HostSideSubcommandsPrintTheAnswer) {
    struct Case {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"barcode", "4006381333931"}, "answer: text \"OK\"\n"},
        {{"prod", "123", "--hex"},
         "00000000  4f 4b 00                                         |OK.|\n"},
        {{"event", "0x20", "65", "0", "0", "--raw"}, "(the three bytes as they are)"},
        {{"register", "U1", "P", "127.0.0.33"}, "answer: text \"OK\"\n"},
        {{"raw", "00000009", "4D445351", "00"}, "answer: text \"OK\"\n"},
    };
    std::uint16_t port = 20050;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::string peer;
        std::thread host = answerOnce(port, &peer);
        std::vector<std::string> args = c.args;
        for (const char* a : {"--port", "", "--from", "127.0.0.33", "--timeout", "3"})
            args.push_back(a);
        args[args.size() - 5] = std::to_string(port++);
        support::RunResult r = unitsim(args);
        host.join();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.args.back() == "--raw" ? std::string("OK\0", 3) : std::string(c.out));
        EXPECT_EQ(peer, "127.0.0.33");
    }
    // The old spelling of --timeout (milliseconds) still works, with a warning.
    support::RunResult r = unitsim({"barcode", "1", "--port", "20099", "--timeout", "500"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "unitsim: --timeout is in seconds now; taking 500 as milliseconds (write 500ms)\n"
              "unitsim: cannot connect to 127.0.0.1:20099\n");
}

// Among many units each has its own UnitID, in address order, and a
// SerialNumber and MACAddress of its own that follow its address.
TEST(UnitsimProgram, ManyUnitsEachWithItsOwnIdentity) {
    struct Case {
        std::vector<std::string> args;
        const char* listening;
        std::vector<std::vector<std::string>> expected;  // address, UnitID, serial, MAC
    } cases[] = {
        {{"--address", "127.0.0.35-127.0.0.37"},
         "unitsim: 3 units listening on 127.0.0.35-127.0.0.37:1283\n",
         {{"127.0.0.35", "TILL0001", "SN127000000035", "02:00:7F:00:00:23"},
          {"127.0.0.36", "TILL0002", "SN127000000036", "02:00:7F:00:00:24"},
          {"127.0.0.37", "TILL0003", "SN127000000037", "02:00:7F:00:00:25"}}},
        {{"--address", "127.0.0.36/31", "--name-pattern", "SHOP%d"},
         "unitsim: 2 units listening on 127.0.0.36-127.0.0.37:1283\n",
         {{"127.0.0.36", "SHOP1", "SN127000000036", "02:00:7F:00:00:24"},
          {"127.0.0.37", "SHOP2", "SN127000000037", "02:00:7F:00:00:25"}}},
        // One unit keeps the values of the table.
        {{"--address", "127.0.0.38"},
         "unitsim: unit listening on 127.0.0.38:1283\n",
         {{"127.0.0.38", "UNIT0001", "SN04471123", "00:50:C2:1A:2B:3C"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::vector<std::string> argv{UNITSIM_BIN};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        support::Background units(argv);
        ASSERT_TRUE(units.waitForOutput(c.listening, 5s));
        for (const auto& unit : c.expected) {
            platform::Socket s = platform::createTcpSocket();
            ASSERT_TRUE(platform::connectWithTimeout(s, *platform::lookupHost(unit[0]), 1283, 2s));
            platform::setReceiveTimeout(s, 3s);
            Bytes buffer(2048);
            const char* modes[] = {"UnitID", "SerialNumber", "MACAddress"};
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(protocol::sendQuery(s, buffer, modes[i]));
                ASSERT_EQ(protocol::receiveReply(s, buffer), protocol::ReplyStatus::Reply);
                EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 8),
                          std::string(modes[i]) + " = " + unit[i + 1] + "\r\n");
            }
        }
        EXPECT_EQ(units.stop().status, 0);
    }
}

}  // namespace
