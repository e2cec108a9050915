// SPDX-License-Identifier: Apache-2.0
// Hobsel on a port of its own with the simulated unit as its client: the
// exact bytes of every kind of answer, and what is logged and recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/socket.h"
#include "protocol/payload.h"
#include "tests/hobsel/hobsel_server.h"
#include "tests/support/scripted_unit.h"

namespace hobsel_test {
namespace {

using namespace std::chrono_literals;

using protocol::DataSubtype;
using protocol::FrameType;
using protocol::kHostTextPadding;
using support::dataText;
using support::frame;
using support::z;

const std::string kAnswers =
    "A\tfound A\n"
    "H\t##5\n"
    "N\t#abc\n"
    "L\tfirst\n"
    " L\tindented lines are skipped\n"
    "L\tsecond\n"
    "E\thello\\nworld \\x41 \\q\n"
    "D\t|>\\x00\\x41\n"
    "d\t|<\\x41\\x00\n"
    "Q\t|quoted\\x41\n"
    "P\t{word print me\\x21\n"
    "p\t{nowhitespace\n"
    "F\t<missing.bin\n"
    "G\t<file.bin;extra\n"
    "R\t@ten.bin\n"
    "V\tok\n"
    "V\tEV6x\n"
    "V\tT-x\n"
    "S\t/path\n"
    "Z\tlast line without a line feed";

// Each test runs in a process of its own, so each gets a port of its own.
class HobselAnswers : public ::testing::Test {
  protected:
    void start(std::uint16_t port) {
        server_ = std::make_unique<HobselServer>(port, std::vector<std::string>{}, kAnswers);
        support::writeFile(server_->dir() + "/file.bin", "abc");
        support::writeFile(server_->dir() + "/ten.bin", "0123456789");
    }
    std::unique_ptr<HobselServer> server_;
};

TEST_F(HobselAnswers, EveryKindOfRecordIsSentAsItsExactBytes) {
    start(21001);
    ASSERT_TRUE(server_->ready());
    Bytes print = dataText(DataSubtype::SpecialText, "print me!", protocol::kHostSpecialPadding);
    Bytes withFile = z("<file.bin;extra");
    for (std::uint8_t b : Bytes{0, 0, 0, 3, 'a', 'b', 'c'}) withFile.push_back(b);
    Bytes ten = bytesOf("0123456789");
    ten.insert(ten.end(), 2, 0);
    const struct {
        std::string barcode;
        Bytes answer;
    } cases[] = {
        {"A", z("found A")},
        {"H", z("#5")},
        {"N", z("#abc")},
        {"L", z("second")},
        {"E", z("hello\nworld A \\q")},
        {"D", {0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00}},
        {"d", {0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00}},
        {"Q", z("quotedA")},
        {"P", print},
        {"p", {}},
        {"F", z("<missing.bin")},
        {"G", withFile},
        {"R", ten},
        {"V", z("ok")},
        {"Z", z("last line without a line feed")},
        {"prefix\tA", z("found A")},
        {"S", z("/path")},
    };
    for (const auto& c : cases) {
        unitsim::HostReply reply = unitsim::sendBarcodeText(server_->unit(), c.barcode);
        EXPECT_TRUE(reply.connected);
        EXPECT_EQ(reply.bytes, c.answer) << c.barcode;
    }
}

TEST_F(HobselAnswers, ProductQueriesAreAnsweredLikeText) {
    start(21017);
    ASSERT_TRUE(server_->ready());
    for (std::string barcode : {"A", "D", "E"}) {
        EXPECT_EQ(unitsim::sendBarcodeFrame(server_->unit(2), barcode).bytes,
                  server_->barcode(barcode, 3));
    }
}

TEST_F(HobselAnswers, FramesOtherThanQueriesAndEventsGetNoAnswer) {
    start(21018);
    ASSERT_TRUE(server_->ready());
    Bytes shortLength = frame(FrameType::ProductQuery, "A");
    protocol::writeBE32(shortLength.data(), 7);
    Bytes unknown = frame(FrameType::ProductQuery, "A");
    std::copy_n("prod", 4, unknown.begin() + 4);
    const Bytes frames[] = {
        frame(FrameType::Terminate, std::string(1, '\0')),
        dataText(DataSubtype::DisplayText, "abc", kHostTextPadding),
        frame(FrameType::Registration, std::string("U\0P\0IP\0", 7)),
        frame(FrameType::ErrReport, std::string("oops\0", 5)),
        shortLength,
        unknown,
    };
    for (const Bytes& frame : frames) {
        unitsim::HostReply reply = unitsim::sendRaw(server_->unit(4), frame);
        EXPECT_TRUE(reply.connected);
        EXPECT_TRUE(reply.bytes.empty()) << textOf(frame);
    }
}

TEST(HobselNetwork, NumberedResponsesFollowTheScanCount) {
    HobselServer server(21002, {"-t1"}, "K\tR\nK\t#2#S\nK\t#3#T\n");
    ASSERT_TRUE(server.ready());
    for (std::string expected : {"R", "S", "T", "R"}) EXPECT_EQ(server.barcode("K"), z(expected));
    std::this_thread::sleep_for(2200ms);  // more than the threshold: the count starts again
    EXPECT_EQ(server.barcode("K"), z("R"));
    EXPECT_EQ(server.barcode("K"), z("S"));
    EXPECT_EQ(server.barcode("OTHER"), z("OTHER\r\n  7"));
    EXPECT_EQ(server.barcode("K"), z("R"));  // another barcode in between starts again
}

TEST(HobselNetwork, NotFoundShowsTheRequestCounter) {
    HobselServer server(21003, {}, "A\tfound\n");
    ASSERT_TRUE(server.ready());  // the readiness probe is request 0
    EXPECT_EQ(server.barcode("A"), z("found"));
    // A connection that closes without sending anything still counts.
    {
        platform::Socket silent = platform::createTcpSocket();
        ASSERT_TRUE(platform::connectBlocking(silent, *platform::lookupHost("127.0.0.1"), 21003));
    }
    EXPECT_EQ(server.barcode("x"), z("x\r\n  3"));
    EXPECT_EQ(server.barcode("nothere"), z("nothere\r\n  4"));
    EXPECT_EQ(server.barcode("/slash"), z(" slash\r\n  5"));
    EXPECT_EQ(server.barcode("<angle"), z(" angle\r\n  6"));
    EXPECT_EQ(server.barcode(std::string(130, 'k')), z(std::string(130, 'k') + "\r\n  7"));
}

// One receive per connection: what arrives later is not part of the request.
TEST(HobselNetwork, OnlyTheFirstSegmentOfARequestIsRead) {
    HobselServer server(21019, {}, "A\tfound A\nAB\tfound AB\n");
    ASSERT_TRUE(server.ready());
    platform::Socket unit = platform::createTcpSocket();
    ASSERT_TRUE(platform::bindTo(unit, 0, *platform::lookupHost("127.0.4.2")));
    ASSERT_TRUE(platform::connectBlocking(unit, *platform::lookupHost("127.0.0.1"), 21019));
    platform::setReceiveTimeout(unit, 5000ms);
    ASSERT_TRUE(platform::sendAll(unit, "A", 1));
    char answer[32] = {};
    std::size_t got = 0;
    for (long n; got < sizeof answer &&
                 (n = platform::receiveSome(unit, answer + got, sizeof answer - got)) > 0;)
        got += static_cast<std::size_t>(n);
    EXPECT_EQ(std::string(answer, got), std::string("found A\0", 8));
}

TEST(HobselNetwork, NominalFormatFramesTextWithoutEscapes) {
    HobselServer server(21004, {"-pn"}, "E\thello\\nworld \\x41 \\q\nD\t|>\\x00\\x41\n");
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(server.barcode("E"),
              dataText(DataSubtype::DisplayText, "hello\\nworld \\x41 \\q", kHostTextPadding));
    EXPECT_EQ(server.barcode("D"),
              dataText(DataSubtype::DisplayText, std::string("\xFE\xFF\0A\0\0", 6), 0));
    HobselServer show(21005, {"-pN", "-b"}, "E\tplain\n");
    ASSERT_TRUE(show.ready());
    EXPECT_EQ(show.barcode("E"), dataText(DataSubtype::ShowMessage, "plain", kHostTextPadding));
}

TEST(HobselNetwork, OutputPrefixGoesBeforeEveryAnswer) {
    HobselServer five(21006, {"-a5"}, "A\tR\n");
    HobselServer twelve(21007, {"-a12"}, "A\tR\n");
    ASSERT_TRUE(five.ready() && twelve.ready());
    EXPECT_EQ(five.barcode("A"), bytesOf(std::string("abcdeR\0", 7)));
    Bytes expected = bytesOf(std::string("abcdefghij\0\0R\0", 14));
    EXPECT_EQ(twelve.barcode("A"), expected);
}

TEST(HobselNetwork, InputSkipDropsJunkBeforeTextAndFrames) {
    HobselServer server(21008, {"-i3"}, "A\tfound A\n");
    ASSERT_TRUE(server.ready());
    Bytes text = bytesOf("xyz");
    Bytes barcode = z("A");
    text.insert(text.end(), barcode.begin(), barcode.end());
    EXPECT_EQ(unitsim::sendRaw(server.unit(), text).bytes, z("found A"));
    Bytes framed = bytesOf("xyz");
    Bytes query = frame(FrameType::ProductQuery, std::string("A\0", 2));
    framed.insert(framed.end(), query.begin(), query.end());
    EXPECT_EQ(unitsim::sendRaw(server.unit(), framed).bytes, z("found A"));
}

TEST(HobselNetwork, MixedTextAnswerIsRawWhateverTheFormat) {
    HobselServer plain(21009, {"-pn", "-mB"}, "C\tfrom file\n");
    HobselServer noGraphic(21010, {"-m-B"}, "");
    HobselServer inLine(21011, {"-mB", "-g"}, "");
    ASSERT_TRUE(plain.ready() && noGraphic.ready() && inLine.ready());
    Bytes expected = z("/images/sample.gif");
    Bytes mixed = z("Mixed Text");
    expected.insert(expected.end(), mixed.begin(), mixed.end());
    EXPECT_EQ(plain.barcode("B"), expected);
    EXPECT_EQ(plain.barcode("C"),
              dataText(DataSubtype::DisplayText, "from file", kHostTextPadding));
    EXPECT_EQ(noGraphic.barcode("B"), mixed);

    std::filesystem::create_directories(inLine.dir() + "/images");
    support::writeFile(inLine.dir() + "/images/sample.gif", "GIF");
    Bytes graphic = z("<images/sample.gif");
    for (std::uint8_t b : Bytes{0, 0, 0, 3, 'G', 'I', 'F'}) graphic.push_back(b);
    graphic.insert(graphic.end(), mixed.begin(), mixed.end());
    EXPECT_EQ(inLine.barcode("B"), graphic);
}

TEST(HobselNetwork, ImageCountReplacesTheMixedTextAnswer) {
    HobselServer server(21012, {"-mB", "-f3"}, "");
    ASSERT_TRUE(server.ready());
    std::filesystem::create_directories(server.dir() + "/images");
    support::writeFile(server.dir() + "/images/flip0.gif", "zero");
    support::writeFile(server.dir() + "/images/flip1.gif", "one!");
    Bytes expected;
    for (std::string name : {"flip0", "flip1", "flip0"}) {
        Bytes part = z("<images/" + name + ".gif");
        for (int b : {0, 0, 0, 4}) part.push_back(b);
        std::string content = name == "flip0" ? "zero" : "one!";
        part.insert(part.end(), content.begin(), content.end());
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(server.barcode("B"), expected);
    EXPECT_NE(
        server.output().find("Sending 3 images in response to [B], overriding Mixed text test.\n"),
        std::string::npos);
}

TEST(HobselNetwork, RegistrationsAndErrorReportsAreRecordedOnlyAtVerbosityTwo) {
    Bytes registration = frame(FrameType::Registration, std::string("U1\0P1\0"
                                                                    "1.2.3.4\0",
                                                                    14));
    Bytes report = frame(FrameType::ErrReport, std::string("oops\0", 5));
    {
        HobselServer quiet(21013, {"-v", "-rreg.log"}, "");
        ASSERT_TRUE(quiet.ready());
        unitsim::sendRaw(quiet.unit(), registration);
        unitsim::sendRaw(quiet.unit(), report);
        quiet.stop();
        EXPECT_FALSE(std::filesystem::exists(quiet.dir() + "/reg.log"));
        EXPECT_FALSE(std::filesystem::exists(quiet.dir() + "/error.log"));
    }
    HobselServer loud(21014, {"-v", "-v", "-rreg.log"}, "");
    ASSERT_TRUE(loud.ready());
    unitsim::sendRaw(loud.unit(), registration);
    unitsim::sendRaw(loud.unit(), report);
    std::string out = loud.stop().out;
    std::string reg = support::readFile(loud.dir() + "/reg.log");
    EXPECT_EQ(reg.substr(0, 14), "U1\tP1\t1.2.3.4\t");
    EXPECT_EQ(reg.size(), 14u + 25u);  // the ctime line: 24 characters and a line feed
    std::string errors = support::readFile(loud.dir() + "/error.log");
    EXPECT_EQ(errors.size(), 25u + 5u);
    EXPECT_EQ(errors.substr(25), "oops\n");
    EXPECT_NE(out.find("unitID:    U1\nproductID: P1\nIPaddress: 1.2.3.4\n\n"), std::string::npos);
}

TEST(HobselNetwork, PacketLogShowsReceivedFramesFieldByField) {
    HobselServer server(21015, {"-v", "-v"}, "");
    ASSERT_TRUE(server.ready());
    unitsim::sendRaw(server.unit(), dataText(DataSubtype::DisplayText, "abc", kHostTextPadding));
    Bytes unknown = frame(FrameType::Terminate, "x");
    std::copy_n("ABCD", 4, unknown.begin() + 4);
    unitsim::sendRaw(server.unit(), unknown);
    std::string out = server.stop().out;
    EXPECT_NE(out.find("read returned 16\n"), std::string::npos);
    EXPECT_NE(out.find("\nReceived nominal mode packet, length 16\nType   DATA (DATA)\n"
                       "DISPLAYTEXT: abc\n\n"),
              std::string::npos);
    EXPECT_NE(out.find("\nReceived nominal mode packet, length 9\nType   (unknown) (ABCD)\n\n"),
              std::string::npos);
}

TEST(HobselNetwork, EditsOfTheDataFileAreSeenByTheNextRequest) {
    HobselServer server(21016, {"-lbar.log"}, "A\tone\n");
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(server.barcode("A"), z("one"));
    support::writeFile(server.dir() + "/data.dat", "A\ttwo\n");  // same size
    EXPECT_EQ(server.barcode("A"), z("two"));
    std::filesystem::remove(server.dir() + "/data.dat");
    EXPECT_EQ(server.barcode("A"), z("A\r\n  3"));
    EXPECT_EQ(support::readFile(server.dir() + "/bar.log"), "A\nA\nA\n");
}

}  // namespace
}  // namespace hobsel_test
