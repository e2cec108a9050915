// SPDX-License-Identifier: Apache-2.0
// Hobsel's command line and console mode, run as a process: exact standard
// output and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

const std::string kVersion = "Version V7.01\n";
const std::string kUsage =
    "\n"
    "Sample Lumetra server, V7.01\n"
    "\n"
    "Hobsel [options] [port]\n"
    "\n"
    "Options\n"
    "-acount      Add specified count of bytes to the beginning\n"
    "             of every response.\n"
    "-b           Use SLD_SHOWMESSAGE instead of SLD_DISPLAYTEXT\n"
    "             to support double-byte fonts.\n"
    "-console     Communicate with console, not network.\n"
    "-ddatafile   'datafile' is the name of the file to use\n"
    "             for barcode lookups.  Default is DATA.DAT\n"
    "-e           Touch and button events cause printing/\n"
    "-fcount      Send multiple images in response to the barcode\n"
    "             specified by the -m option.  Mixed text testing\n"
    "             is overridden.\n"
    "-g           Send graphics in-line.\n"
    "-hhost       'host' is used as the host name.  Usually\n"
    "             an IP address for multi-homed systems\n"
    "-icount      Ignore the first count bytes from each request.\n"
    "-k           The keycode received from keypresses are omitted\n"
    "             from the code used to lookup in data.dat; only\n"
    "             \"EV6\" is used instead of (e.g.) \"EV6A\" for\n"
    "             a keycode that has a hex value of 41.\n"
    "-llogfile    'logfile' is the name of the file used to\n"
    "             record all incoming barcodes.\n"
    "-mbarcode    Send mixed graphics and text, using indicated\n"
    "             barcode as the trigger.  If the barcode starts\n"
    "             with a hypen, the graphic is not sent.\n"
    "-pprotocol   'protocol' is either 'TRIVIAL' or 'NOMINAL'\n"
    "             Sets the format of responses to queries.\n"
    "-rregfile    'regfile' is the name of the file used to\n"
    "             record unit registrations.\n"
    "-s           Send multiple text responses to -m barcode\n"
    "-tthreshold  The time, in seconds, that another scan of\n"
    "             the same barcode is treated as a follow-up.\n"
    "-v           Print extra information about transactions.\n"
    "             May be used more than once for even more info.\n"
    "-z           Special input demo for touch/msr.  Use TOUCH.DAT.\n"
    "port         The TCP/IP port number to monitor for product\n"
    "             information queries.  The range is 1024-65535\n"
    "             and the default is 1283\n";

support::RunResult runHobsel(const std::vector<std::string>& args, const std::string& input = {},
                             const std::string& dir = {}) {
    std::vector<std::string> argv{HOBSEL_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    support::RunOptions options;
    options.input = input;
    options.workingDirectory = dir;
    options.timeout = std::chrono::seconds(20);
    return support::run(argv, options);
}

struct OptionCase {
    std::vector<std::string> args;
    std::string messages;  // between the version line and "listening: "
};

const std::string kSummary2 =
    "Using trivial format packets for responses.\n"
    "Not logging received barcodes\n"
    "Not logging Registrations\n"
    "Using data file data.dat\n"
    "Threshhold time in seconds: 10\n";

TEST(HobselOptions, EachOptionAnnouncesItselfAndStartsInConsoleMode) {
    const std::string console = "Using console for input\n";
    const std::vector<OptionCase> cases = {
        {{"-c"}, console},
        {{"-c", "/V", "-VV"}, console + "Verbose\nEven more verbose\n" + kSummary2},
        {{"-console", "-pnominal", "-v"},
         console + "Verbose\nUsing nominal format packets for responses.\n"
                   "Not logging received barcodes\nNot logging Registrations\n"
                   "Using data file data.dat\nThreshhold time in seconds: 10\n"},
        {{"-c", "-PN", "-pX", "-p"},
         console + "Unknown protocol mode: X\nUnknown protocol mode: \n"},
        {{"-c", "-a", "-i"}, console},
        {{"-c", "-a5", "-I3", "-f", "-f0"},
         console + "Adding 5 chars out\nIgnoring 3 chars on input\nSend 1 image per barcode\n"
                   "Send 0 images per barcode\n"},
        {{"-c", "-m-"}, console + "No graphic\nNot mixed text\n"},
        {{"-c", "-mB", "-f3"},
         console + "Using Mixed text, barcode is [B]\nSend 3 images per barcode\n"
                   "Sending 3 images in response to [B], overriding Mixed text test.\n"},
        {{"-c", "-m-B"}, console + "No graphic\nUsing Mixed text, barcode is [B]\n"},
        {{"-c", "-j", "-@x", "-1", "-", "/y"},
         console + "Unknown: -j, use ? for help\nUnknown: -@x, use ? for help\n"
                   "Unknown: -1, use ? for help\nUnknown: -, use ? for help\n"
                   "Unknown: /y, use ? for help\n"},
        {{"-c", "-dfile.dat", "-hhost", "-lbar.log", "-rreg.log", "-s", "-t5", "-k", "-g", "-b",
          "-e", "-z", "-z"},
         console + "Using data file file.dat\nIdentifying myself as host host\nLogging to bar.log\n"
                   "Registrations to reg.log\nMultiple text responses\nThreshhold is 5 seconds\n"
                   "Showing any key press as EV6\nUsing In-Line graphics\n"},
        {{"-c", "-t"}, console + "Threshhold is 0 seconds\n"},
        {{"-c", "-v", "-b", "-lx", "-rY"},
         console + "Verbose\nLogging to x\nRegistrations to Y\n"
                   "Using trivial format packets for responses.\nUsing SLD_SHOWMESSAGE.\n"
                   "Using data file data.dat\nThreshhold time in seconds: 10\n"},
        {{"-c", "-d" + std::string(200, 'x')},
         console + "Using data file " + std::string(127, 'x') + "\n"},
        {{"-c", "-m" + std::string(1100, 'b')},
         console + "Using Mixed text, barcode is [" + std::string(1023, 'b') + "]\n"},
    };
    for (const OptionCase& c : cases) {
        support::RunResult r = runHobsel(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.out, kVersion + c.messages + "listening: ") << c.args.back();
    }
}

TEST(HobselOptions, UsageAndPortOutOfRangeEndWithStatusZero) {
    const std::string outOfRange = "\nPort out of range" + kUsage;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-?"}, kVersion + kUsage},
        {{"/?", "-c"}, kVersion + kUsage},
        {{"1023"}, kVersion + outOfRange},
        {{"65536"}, kVersion + outOfRange},
        {{"abc", "-c"}, kVersion + outOfRange},
        {{"-c", "0"}, kVersion + "Using console for input\n" + outOfRange},
        // No option takes its value from the next argument.
        {{"-d", "data.dat"}, kVersion + "Using data file \n" + outOfRange},
    };
    for (const Case& c : cases) {
        support::RunResult r = runHobsel(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.args[0];
    }
}

TEST(HobselOptions, PortsAtTheEdgesOfTheRangeAreAccepted) {
    // An unresolvable host name stops start-up before anything is bound.
    for (std::string port : {"1024", "65535"}) {
        support::RunResult r = runHobsel({"-v", "-hno-such-host.invalid", port});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, kVersion +
                             "Verbose\nIdentifying myself as host no-such-host.invalid\n"
                             "Using trivial format packets for responses.\n"
                             "Not logging received barcodes\nNot logging Registrations\n"
                             "Using data file data.dat\nUsing port " +
                             port + "\nThreshhold time in seconds: 10\ngethostbyname failed");
    }
}

class HobselConsole : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = support::makeTempDir("hobsel-console"); }
    std::string serve(const std::vector<std::string>& args, const std::string& data,
                      const std::string& input) {
        support::writeFile(dir_ + "/data.dat", data);
        std::vector<std::string> all{"-c"};
        all.insert(all.end(), args.begin(), args.end());
        support::RunResult r = runHobsel(all, input, dir_);
        EXPECT_EQ(r.status, 0);
        EXPECT_FALSE(r.timedOut);
        std::string head = kVersion + "Using console for input\n";
        EXPECT_EQ(r.out.substr(0, head.size()), head);
        return r.out.substr(std::min(head.size(), r.out.size()));
    }
    std::string dir_;
};

TEST_F(HobselConsole, DumpsWhatWouldBeSentAndCountsLines) {
    std::string out = serve({}, "A\tanswer\n", "A\nnope\n\nnope2\n");
    EXPECT_EQ(out,
              "listening: 7 >answer\\x00>\n"
              "listening: 10 >nope\\x0D\\x0A  1\\x00>\n"
              "listening: "  // an empty line is stripped to nothing, and still counted
              "listening: 11 >nope2\\x0D\\x0A  3\\x00>\n"
              "listening: ");
}

TEST_F(HobselConsole, KeepsTheWholeLineAsBarcodeAndEndsAtEndOfInput) {
    // A TAB splits off a prefix only for requests from the network.
    std::string out = serve({}, "A\tanswer\n", "x\tA");
    EXPECT_EQ(out, "listening: 9 >x\\x09A\\x0D\\x0A  0\\x00>\nlistening: ");
}

TEST_F(HobselConsole, FramedAndFileAnswersShowTheirSizes) {
    support::writeFile(dir_ + "/f.bin", "abc");
    std::string data = "A\tanswer\nF\t<f.bin;more\nD\t|>\\x00\\x41\n";
    EXPECT_EQ(serve({"-pn"}, data, "A\n"), "listening: (19 bytes of the file)\nlistening: ");
    EXPECT_EQ(serve({}, data, "D\n"), "listening: (6 bytes of the file)\nlistening: ");
    EXPECT_EQ(serve({}, data, "F\n"),
              "listening: 12 ><f.bin;more\\x00>\n4 >\\x00\\x00\\x00\\x03>\n"
              "(3 bytes of the file)\nlistening: ");
    EXPECT_EQ(serve({"-a5"}, data, "A\n"),
              "Adding 5 chars out\nlistening: (5 bytes of the file)\n7 >answer\\x00>\nlistening: ");
    EXPECT_EQ(serve({"-a4"}, data, "A\n"),
              "Adding 4 chars out\nlistening: \nFile length: 1633837924\n7 >answer\\x00>\n"
              "listening: ");
}

TEST_F(HobselConsole, HugeSkipAndPrefixCountsStayInsideTheBuffers) {
    std::string data = "A\tanswer\n";
    EXPECT_EQ(serve({"-i8192"}, data, "xxA\n"),
              "Ignoring 8192 chars on input\nlistening: listening: ");
    EXPECT_EQ(serve({"-i99999"}, data, "xxA\n"),
              "Ignoring 99999 chars on input\nlistening: listening: ");
    EXPECT_EQ(serve({"-i2"}, data, "xxA\n"),
              "Ignoring 2 chars on input\nlistening: 7 >answer\\x00>\nlistening: ");
    EXPECT_EQ(serve({"-a99999"}, data, "A\n"),
              "Adding 99999 chars out\nlistening: (8192 bytes of the file)\n7 >answer\\x00>\n"
              "listening: ");
}

}  // namespace
