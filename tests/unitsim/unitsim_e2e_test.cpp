// The unitsim program as people and other tests run it.
#include <gtest/gtest.h>

#include <thread>

#include "net/socket.h"
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

TEST(UnitsimProgram, HelpDocumentsOptionsModeFileAndJournal) {
    support::RunResult r = unitsim({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"--address",
                             "--port",
                             "--modes",
                             "--journal",
                             "--keepalives",
                             "--refuse",
                             "--drift",
                             "--delay",
                             "--drop-mid-frame",
                             "--oversized-length",
                             "--silent",
                             "barcode",
                             "prod",
                             "event",
                             "register",
                             "raw",
                             "--from",
                             "--hex",
                             "--raw",
                             "Mode file:",
                             "Name TYPE[,size] [ro] = value",
                             "Journal:",
                             "recv MDSQ \"UnitID = x\"",
                             "recv text \"barcode\""}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
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
        net::Socket s = net::createTcpSocket();
        ASSERT_TRUE(net::connectWithTimeout(s, *net::lookupHost("127.0.0.30"), 1283, 2s));
        net::setReceiveTimeout(s, 3s);
        Bytes buffer(2048);
        ASSERT_TRUE(protocol::sendQuery(s, buffer, "UnitStatus"));
        ASSERT_EQ(protocol::receiveReply(s, buffer, protocol::ReplyMode::AnyFrame),
                  protocol::ReplyStatus::Reply);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 4, 8), "DATANOP_");
        ASSERT_EQ(protocol::receiveReply(s, buffer), protocol::ReplyStatus::Reply);
        EXPECT_STREQ(reinterpret_cast<char*>(buffer.data()) + 8, "UnitStatus = READY");
    }
    support::RunResult r = unit.stop();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "unitsim: unit listening on 127.0.0.30:1283\n");
    std::string journal = support::readFile(dir + "/journal.log");
    EXPECT_NE(journal.find(
                  "recv MDSQ \"UnitStatus\"\nsend DATA NOP_\nsend MODR \"UnitStatus = READY\"\n"),
              std::string::npos)
        << journal;
}

TEST(UnitsimProgram, AnAddressInUseExitsOne) {
    unitsim::Options options;
    options.address = "127.0.0.31";
    unitsim::Unit holder(options);
    ASSERT_TRUE(holder.start());
    support::RunResult r = unitsim({"--address", "127.0.0.31"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("unitsim: cannot bind 127.0.0.31:1283: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
}

// A host that answers "OK" and its zero byte to the first read; it gives up
// waiting for a connection after a few seconds (accept honours the receive
// time-out).
std::thread answerOnce(std::uint16_t port, std::string* peer) {
    net::Socket listener = net::createTcpSocket();
    net::setReuseAddress(listener);
    EXPECT_TRUE(net::bindTo(listener, port, *net::lookupHost("127.0.0.1")));
    EXPECT_TRUE(net::listenOn(listener, 1));
    net::setReceiveTimeout(listener, 5s);
    return std::thread([l = std::move(listener), peer]() mutable {
        net::Ipv4 from = 0;
        net::Socket c = net::acceptFrom(l, &from);
        if (!c)
            return;
        *peer = net::dotted(from);
        std::uint8_t buffer[8192];
        net::setReceiveTimeout(c, 3s);
        net::receiveSome(c, buffer, sizeof buffer);
        net::sendAll(c, "OK", 3);
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
        for (const char* a : {"--port", "", "--from", "127.0.0.33", "--timeout", "3000"})
            args.push_back(a);
        args[args.size() - 5] = std::to_string(port++);
        support::RunResult r = unitsim(args);
        host.join();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.args.back() == "--raw" ? std::string("OK\0", 3) : std::string(c.out));
        EXPECT_EQ(peer, "127.0.0.33");
    }
    support::RunResult r = unitsim({"barcode", "1", "--port", "20099", "--timeout", "500"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "unitsim: cannot connect to 127.0.0.1:20099\n");
}

}  // namespace
