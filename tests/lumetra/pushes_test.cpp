// SPDX-License-Identifier: Apache-2.0
// Text, image, file and bare-frame pushes, Push and Fennick: the exact
// frames on the wire.
#include <sys/socket.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/lumetra/library_fixture.h"
#include "tests/support/process.h"

namespace lumetra_test {
namespace {

using namespace std::chrono_literals;

bool allZero(const Bytes& f, std::size_t from, std::size_t to) {
    return std::all_of(f.begin() + static_cast<long>(from), f.begin() + static_cast<long>(to),
                       [](std::uint8_t b) { return b == 0; });
}

std::string textAt(const Bytes& f, std::size_t from, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(f.data() + from), n);
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
    return s;
}

class LumetraPushes : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        dir_ = support::makeTempDir("lumetra_push");
    }
    void open(const char* address) {
        unit_ = std::make_unique<ScriptedUnit>(address, smallUnit());
        ASSERT_EQ(uxOpen(address), 4);
        unit_->clearFrames();
    }
    std::string file(const std::string& name, const std::string& content) {
        std::string path = dir_ + "/" + name;
        support::writeFile(path, content);
        return path;
    }
    Bytes lastFrame() {
        EXPECT_TRUE(unit_->waitForFrames(1));
        std::vector<Bytes> all = unit_->frames();
        return all.empty() ? Bytes{} : all.back();
    }
    void expectNothingMore(std::size_t count) {
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(unit_->frameCount(), count);
    }
    std::string dir_;
    std::unique_ptr<ScriptedUnit> unit_;
};

TEST_F(LumetraPushes, TextsCarryFortyPaddingBytes) {
    open("127.0.1.70");
    struct Case {
        int32_t (*send)(const char*);
        const char* text;
        const char* subtype;
    };
    for (const Case& c :
         {Case{SendDisplayText, "Hello", "TEXT"}, Case{SendSpecialText, "Hello", "SPEC"},
          Case{SendDisplayText, "", "TEXT"}}) {
        unit_->clearFrames();
        ASSERT_EQ(c.send(c.text), 1);
        Bytes f = lastFrame();
        std::size_t n = std::string(c.text).size();
        ASSERT_EQ(f.size(), n + 53) << c.subtype;
        EXPECT_EQ(be32At(f, 0), n + 53);
        EXPECT_EQ(codeAt(f, 4), "DATA");
        EXPECT_EQ(codeAt(f, 8), c.subtype);
        EXPECT_EQ(textAt(f, 12, n), c.text);
        EXPECT_TRUE(allZero(f, 12 + n, f.size()));
    }
}

TEST_F(LumetraPushes, TextTooLongForTheFrameBufferIsNotSent) {
    open("127.0.1.71");
    std::string longest(102347, 't');
    EXPECT_EQ(SendDisplayText(longest.c_str()), 1);
    EXPECT_EQ(lastFrame().size(), 102400u);
    std::string tooLong = longest + "t";
    EXPECT_EQ(SendSpecialText(tooLong.c_str()), 0);
    EXPECT_EQ(SendDisplayText(nullptr), 0);
    expectNothingMore(1);
}

TEST_F(LumetraPushes, ImageGoesOutWithoutAName) {
    open("127.0.1.72");
    std::string image = pattern(1000);
    ASSERT_EQ(SendImageToDisplay(file("logo.gif", image).c_str()), 1);
    Bytes f = lastFrame();
    ASSERT_EQ(f.size(), 1052u);
    EXPECT_EQ(codeAt(f, 4), "DATA");
    EXPECT_EQ(codeAt(f, 8), "FILE");
    EXPECT_EQ(be32At(f, 12), 1000u);
    EXPECT_EQ(codeAt(f, 16), "GIF_");
    EXPECT_EQ(textAt(f, 20, 1000), image);
    EXPECT_TRUE(allZero(f, 1020, 1052));
}

TEST_F(LumetraPushes, FileGoesOutUnderItsDestinationName) {
    open("127.0.1.73");
    ASSERT_EQ(SendFile(file("a.bin", pattern(1000)).c_str(), "ninechars"), 1);
    EXPECT_EQ(lastFrame().size(), 1062u);
    unit_->clearFrames();
    ASSERT_EQ(SendFile(file("b.bin", "0123456789").c_str(), "name"), 1);
    Bytes f = lastFrame();
    ASSERT_EQ(f.size(), 67u);
    EXPECT_EQ(be32At(f, 12), 10u);
    EXPECT_EQ(codeAt(f, 16), "FILE");
    EXPECT_EQ(textAt(f, 20, 4), "name");
    EXPECT_EQ(f[24], 0);
    EXPECT_EQ(textAt(f, 25, 10), "0123456789");
    EXPECT_TRUE(allZero(f, 35, 67));
}

TEST_F(LumetraPushes, UnusableFilesAreNotSent) {
    open("127.0.1.74");
    std::string empty = file("empty.gif", "");
    EXPECT_EQ(SendImageToDisplay(empty.c_str()), 0);
    EXPECT_EQ(SendFile(empty.c_str(), "x"), 0);
    EXPECT_EQ(SendFile((dir_ + "/missing").c_str(), "x"), 0);
    EXPECT_EQ(SendImageToDisplay(dir_.c_str()), 0);  // a folder
    EXPECT_EQ(SendImageToDisplay(file("big.gif", std::string(102349, 'g')).c_str()), 0);
    EXPECT_EQ(SendFile(file("ok.bin", "x").c_str(), nullptr), 0);
    expectNothingMore(0);
    EXPECT_EQ(SendImageToDisplay(file("fits.gif", std::string(102348, 'g')).c_str()), 1);
    EXPECT_EQ(lastFrame().size(), 102400u);
}

TEST_F(LumetraPushes, BareFramesAreNineBytesAndTheKeepAliveIsARealOne) {
    open("127.0.1.75");
    ASSERT_EQ(SendRegistration(), 1);
    ASSERT_EQ(SendTerminate(), 1);
    ASSERT_EQ(SendDataNOP(), 1);
    ASSERT_TRUE(unit_->waitForFrames(3));
    std::vector<Bytes> f = unit_->frames();
    EXPECT_EQ(f[0], (Bytes{0, 0, 0, 9, 'R', 'G', 'S', 'T', 0}));
    EXPECT_EQ(f[1], (Bytes{0, 0, 0, 9, 'T', 'E', 'R', 'M', 0}));
    EXPECT_EQ(f[2], (Bytes{0, 0, 0, 12, 'D', 'A', 'T', 'A', 'N', 'O', 'P', '_'}));
}

TEST_F(LumetraPushes, PushSendsOneFileOnItsOwnConnectionAndClosesIt) {
    open("127.0.1.76");
    std::string big = pattern(300000);  // larger than the frame buffer
    ASSERT_EQ(Push("127.0.1.76", file("big.bin", big).c_str(), "dest.bin"), 1);
    Bytes f = lastFrame();
    ASSERT_EQ(f.size(), 300000u + 8 + 1 + 52);
    EXPECT_EQ(be32At(f, 12), 300000u);
    EXPECT_EQ(textAt(f, 20, 9), std::string("dest.bin", 9));
    EXPECT_EQ(textAt(f, 29, 300000), big);
    EXPECT_TRUE(allZero(f, 300029, f.size()));
    EXPECT_TRUE(unit_->waitForClosedByClient(2));  // the open one, then Push's own
    EXPECT_EQ(unit_->connections(), 2);
}

TEST_F(LumetraPushes, FailedPushClosesItsConnection) {
    unit_ = std::make_unique<ScriptedUnit>("127.0.1.77", smallUnit());
    EXPECT_EQ(Push("127.0.1.77", file("a.bin", "abc").c_str(), nullptr), 0);
    EXPECT_TRUE(unit_->waitForClosedByClient(1));
    EXPECT_EQ(Push("127.0.1.77", (dir_ + "/missing").c_str(), "x"), 0);
    EXPECT_TRUE(unit_->waitForClosedByClient(2));
    EXPECT_EQ(Push("127.0.1.77", file("e.bin", "").c_str(), "x"), 0);
    EXPECT_TRUE(unit_->waitForClosedByClient(3));
    EXPECT_EQ(unit_->frameCount(), 0u);
}

TEST_F(LumetraPushes, PushToAnAddressThatDoesNotAnswerGivesUpAfterTheConnectTimeOut) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Push("127.0.1.78", file("a.bin", "abc").c_str(), "x"), 0);
    EXPECT_GE(since(start), 450ms);
    EXPECT_EQ(Fennick("127.0.1.78", 9600, 8, "N", 1, "N"), 0);
}

TEST_F(LumetraPushes, PushReportsASendThatFailed) {
    // Accepts, then closes at once and with a reset: the big frame cannot go.
    platform::Socket listener = platform::createTcpSocket();
    ASSERT_TRUE(platform::setReuseAddress(listener));
    ASSERT_TRUE(platform::bindTo(listener, 1283, *platform::lookupHost("127.0.1.79")));
    ASSERT_TRUE(platform::listenOn(listener, 1));
    std::thread closer([&] {
        platform::Socket c = platform::acceptFrom(listener);
        std::this_thread::sleep_for(100ms);  // the client is sending by now
        linger hard{1, 0};
        setsockopt(c.fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    });
    testing::internal::CaptureStdout();
    int32_t result = Push("127.0.1.79", file("big.bin", pattern(16 << 20)).c_str(), "x");
    std::string out = testing::internal::GetCapturedStdout();
    closer.join();
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("\nError sending..\n"), std::string::npos);
}

TEST_F(LumetraPushes, PushToAUnitThatStopsReadingGivesUp) {
    // Connections complete in the backlog but are never accepted or read.
    platform::Socket listener = platform::createTcpSocket();
    ASSERT_TRUE(platform::setReuseAddress(listener));
    ASSERT_TRUE(platform::bindTo(listener, 1283, *platform::lookupHost("127.0.1.81")));
    ASSERT_TRUE(platform::listenOn(listener, 1));
    testing::internal::CaptureStdout();
    EXPECT_EQ(Push("127.0.1.81", file("big.bin", pattern(32 << 20)).c_str(), "x"), 0);
    testing::internal::GetCapturedStdout();
}

TEST_F(LumetraPushes, FennickSendsTheSettingsLineAsAFileAndCloses) {
    unit_ = std::make_unique<ScriptedUnit>("127.0.1.80", smallUnit());
    ASSERT_EQ(Fennick("127.0.1.80", 9600, 8, "N", 1, "N"), 1);
    Bytes f = lastFrame();
    const std::string line =
        "stty -F /dev/ttyS0 ispeed 9600 ospeed 9600 cs8 -cstopb -parenb icrnl hupcl -icanon "
        "clocal -crtscts -ixon cread -echo -echoe -echok min 1\n";
    ASSERT_EQ(line.size(), 137u);
    ASSERT_EQ(f.size(), 201u);
    EXPECT_EQ(be32At(f, 0), 201u);
    EXPECT_EQ(codeAt(f, 4), "DATA");
    EXPECT_EQ(codeAt(f, 8), "FILE");
    EXPECT_EQ(be32At(f, 12), 137u);
    EXPECT_EQ(codeAt(f, 16), "FILE");
    EXPECT_EQ(textAt(f, 20, 12), std::string("setscanner2", 12));
    EXPECT_EQ(textAt(f, 32, 137), line);
    EXPECT_TRUE(allZero(f, 169, 201));
    EXPECT_TRUE(unit_->waitForClosedByClient(1));
}

}  // namespace
}  // namespace lumetra_test
