// SPDX-License-Identifier: Apache-2.0
#include "hobsel/barcode_answer.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "hobsel/listener.h"
#include "tests/support/process.h"

namespace hobsel {
namespace {

using std::chrono::milliseconds;

// Console mode: answers are dumped to the context's output instead of sent.
class ConsoleAnswer : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("hobsel-answer");
        context_.settings.console = true;
        context_.settings.dataFile = dir_ + "/data.dat";
        context_.out = std::tmpfile();
        context_.sleep = [this](milliseconds wait) {
            waits_.push_back(wait);
            std::fputs("(wait)\n", context_.out);
        };
    }
    void TearDown() override { std::fclose(context_.out); }
    std::string answer(std::string request) {
        long start = std::ftell(context_.out);
        request.resize(kRequestSize + 1, '\0');
        serveRequest(context_, request.data(), nullptr, 0);
        std::string out(std::ftell(context_.out) - start, '\0');
        std::fseek(context_.out, start, SEEK_SET);
        EXPECT_EQ(std::fread(out.data(), 1, out.size(), context_.out), out.size());
        return out;
    }
    std::string dir_;
    std::vector<milliseconds> waits_;
    Context context_;
};

TEST_F(ConsoleAnswer, MultipleTextsAreSpreadOverSixteenSeconds) {
    support::writeFile(context_.settings.dataFile, "C\tfrom file\n");
    context_.settings.mixedText = true;
    context_.settings.multipleText = true;
    context_.settings.triggerBarcode = "B";
    EXPECT_EQ(answer("B\n"),
              "19 >/images/sample.gif\\x00>\n"
              "16 >Wait one second\\x00>\n(wait)\n"
              "18 >Wait five seconds\\x00>\n(wait)\n"
              "17 >Wait ten seconds\\x00>\n(wait)\n"
              "20 >Stay up PTO seconds\\x00>\n");
    EXPECT_EQ(waits_, (std::vector<milliseconds>{milliseconds(1000), milliseconds(5000),
                                                 milliseconds(10000)}));
    EXPECT_EQ(answer("C\n"), "10 >from file\\x00>\n");
    EXPECT_EQ(waits_.size(), 3u);
}

TEST_F(ConsoleAnswer, PrintTextIsCutToFitTheFramedBody) {
    support::writeFile(context_.settings.dataFile, "P\t{w  ab\\x43\nE\t{w \nN\t{nothing\n");
    // "SPEC", the text and 8 zero bytes, framed.
    EXPECT_EQ(answer("P\n"), "(23 bytes of the file)\n");
    EXPECT_EQ(answer("E\n"), "");  // nothing to print: nothing sent
    EXPECT_EQ(answer("N\n"), "");
    std::vector<std::uint8_t> body = printBody("ab\\x43");
    EXPECT_EQ(std::string(body.begin(), body.end()), std::string("SPECabC\0\0\0\0\0\0\0\0", 15));
    EXPECT_EQ(printBody(std::string(9000, 'p')).size(), 8184u);  // the framed body's limit
}

TEST_F(ConsoleAnswer, FileReferencesAreCutTo127Characters) {
    std::string name(127, 'f');
    support::writeFile(name, "xy");  // in the test's working directory
    support::writeFile(context_.settings.dataFile, "F\t<" + name + "EXTRA\n");
    std::string out = answer("F\n");
    std::remove(name.c_str());
    EXPECT_NE(out.find("4 >\\x00\\x00\\x00\\x02>\n(2 bytes of the file)\n"), std::string::npos);
}

// A unit that sent nothing before the waiting room gave it up is served as
// an empty request: closed without an answer, unread.
TEST(ServeConnection, SilentClientIsClosedWithoutAnAnswer) {
    Context context;
    context.out = std::tmpfile();
    auto loopback = *platform::lookupHost("127.0.4.9");
    platform::Socket listener = platform::createTcpSocket();
    ASSERT_TRUE(platform::bindTo(listener, 0, loopback));
    ASSERT_TRUE(platform::listenOn(listener, 1));
    // The port the system chose.
    socklen_t len = sizeof(sockaddr_in);
    sockaddr_in bound{};
    ASSERT_EQ(getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&bound), &len), 0);
    platform::Socket client = platform::createTcpSocket();
    ASSERT_TRUE(platform::bindTo(client, 0, loopback));
    ASSERT_TRUE(platform::connectBlocking(client, loopback, ntohs(bound.sin_port)));
    platform::Arrival arrival{{}, 0, true, -1, {}};
    arrival.socket = platform::acceptFrom(listener, &arrival.peer);
    ASSERT_TRUE(arrival.socket);
    serveConnection(context, std::move(arrival));
    char byte;
    platform::setReceiveTimeout(client, milliseconds(2000));
    EXPECT_EQ(platform::receiveSome(client, &byte, 1), 0);  // closed without an answer
    EXPECT_EQ(context.peer, loopback);
    std::fclose(context.out);
}

}  // namespace
}  // namespace hobsel
