// SPDX-License-Identifier: Apache-2.0
// Mibbet.exe and Hobsel.exe under Wine, serving port 1283 on all addresses in
// the test's own network namespace: a Linux client's barcode gets the same
// answer as from the Linux build of the same server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "tests/windows/wine.h"
#include "unitsim/host.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;

struct ServerCase {
    const char* name;
    std::string windowsProgram;
    std::string linuxProgram;
    std::string dataFile;
    std::string data;
    std::string barcode;
    bool framed;           // sent as a product-query frame rather than bare text
    std::string expected;  // somewhere in the answer
};

class ServerUnderWine : public WineInOwnNetwork, public ::testing::WithParamInterface<ServerCase> {
  protected:
    // Starts `argv` in the scratch folder, sends the barcode from the Linux
    // side, stops the server and returns the answer's bytes.
    std::string answer(const std::vector<std::string>& argv) {
        const ServerCase& c = GetParam();
        support::Background server(argv, dir_);
        // Wine takes a while to start; the probe connection is one request.
        EXPECT_TRUE(support::waitForPort("127.0.0.1", 1283, 60s)) << server.stop().out;
        unitsim::HostTarget target;
        target.host = "127.0.0.1";
        target.from = "127.0.0.1";
        target.timeout = 20s;
        unitsim::HostReply reply = c.framed ? unitsim::sendBarcodeFrame(target, c.barcode)
                                            : unitsim::sendBarcodeText(target, c.barcode);
        EXPECT_TRUE(reply.connected);
        server.stop();
        return std::string(reply.bytes.begin(), reply.bytes.end());
    }
};

TEST_P(ServerUnderWine, AnswersABarcodeAsOnLinux) {
    const ServerCase& c = GetParam();
    support::writeFile(dir_ + "/" + c.dataFile, c.data);
    std::string onWindows = answer(wineCommand(c.windowsProgram, {}));
    std::string onLinux = answer({c.linuxProgram});
    EXPECT_NE(onWindows.find(c.expected), std::string::npos) << onWindows;
    EXPECT_EQ(onWindows, onLinux);
}

// The data file is rewritten twice within one second, same size both times:
// the server must not take the second edit for the first (Windows' own file
// times, sizes and file index are what it compares, then the bytes).
TEST_P(ServerUnderWine, SeesTwoEditsWithinOneSecond) {
    const ServerCase& c = GetParam();
    auto edited = [&](char mark) {
        std::string data = c.data;
        data.insert(data.find(c.expected) + c.expected.size(), std::string(" #") + mark);
        return data;
    };
    std::string path = dir_ + "/" + c.dataFile;
    support::writeFile(path, c.data);
    support::Background server(wineCommand(c.windowsProgram, {}), dir_);
    ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 60s)) << server.stop().out;
    unitsim::HostTarget target;
    target.host = "127.0.0.1";
    target.from = "127.0.0.1";
    target.timeout = 20s;
    auto ask = [&] {
        unitsim::HostReply reply = c.framed ? unitsim::sendBarcodeFrame(target, c.barcode)
                                            : unitsim::sendBarcodeText(target, c.barcode);
        return std::string(reply.bytes.begin(), reply.bytes.end());
    };
    EXPECT_NE(ask().find(c.expected), std::string::npos);  // now the file is held
    auto firstEdit = std::chrono::steady_clock::now();
    for (char mark : {'1', '2'}) {
        support::writeFile(path, edited(mark));
        std::string answer = ask();
        EXPECT_NE(answer.find(c.expected + " #" + mark), std::string::npos)
            << "edit " << mark << ": " << answer;
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - firstEdit;
    std::printf("the two edits and their answers took %.3f s\n", took.count());
    server.stop();
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerUnderWine,
    ::testing::Values(ServerCase{"Mibbet", "Mibbet.exe", MIBBET_BIN, "mibbetdata.dat",
                                 "K1\tanswer one\r\nK2\tanswer two\r\n", "K2", true, "answer two"},
                      ServerCase{"Hobsel", "Hobsel.exe", HOBSEL_BIN, "data.dat",
                                 "A\tfound A\r\nB\tfound B\r\n", "B", false, "found B"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace windows_test
