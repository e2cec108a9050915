// SPDX-License-Identifier: Apache-2.0
// Mibbet's serving loop in-process, where a short receive time-out can be
// chosen: a silent client must not stop the server for everyone.
#include "mibbet/server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/socket.h"
#include "tests/mibbet/mibbet_client.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

TEST(MibbetServer, SilentClientIsClosedAfterTheTimeOutAndCounted) {
    std::string why;
    if (!support::enterOwnNetworkNamespace(why)) GTEST_SKIP() << "no network namespace: " << why;
    std::string dir = support::makeTempDir("mibbet-server");
    mibbet::ServerOptions options;
    options.receiveTimeout = 300ms;
    options.dataPath = dir + "/mibbetdata.dat";
    support::writeFile(options.dataPath, "K\tv\n");
    mibbet::Server server(options);
    ASSERT_TRUE(server.start(stdout));
    std::thread serving([&] {
        for (int i = 0; i < 3; ++i) server.serveOne();
    });
    // A client that connects and says nothing, holding its connection open.
    platform::Socket silent = platform::createTcpSocket();
    ASSERT_TRUE(platform::connectBlocking(silent, *platform::lookupHost("127.0.0.1"), 1283));
    // The next unit still gets its answer once the silent one is dropped.
    EXPECT_EQ(mibbet_test::exchangeText("K").bytes, "v\0"s);
    char byte = 0;
    platform::setReceiveTimeout(silent, 5s);
    EXPECT_EQ(platform::receiveSome(silent, &byte, 1), 0) << "closed without an answer";
    EXPECT_EQ(mibbet_test::exchangeText("X").bytes, "X\r\n  2\0"s);
    serving.join();
    std::remove(options.dataPath.c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
