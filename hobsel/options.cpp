// SPDX-License-Identifier: Apache-2.0
#include "hobsel/options.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "protocol/text.h"

namespace hobsel {

namespace {

const char kUsage[] =
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

std::string fit(const std::string& value, std::size_t capacity) {
    return value.substr(0, capacity - 1);
}

int readCount(const std::string& text) {
    return static_cast<int>(readNumber(text, INT_MIN, INT_MAX));
}

const char* plural(int count) {
    return count == 1 ? "" : "s";
}

void readMixedText(Context& c, std::string value) {
    Settings& s = c.settings;
    if (!value.empty() && value[0] == '-') {
        s.graphic = false;
        c.write("No graphic\n");
        value.erase(0, 1);
    }
    if (value.empty()) {
        s.mixedText = false;
        c.write("Not mixed text\n");
        return;
    }
    s.mixedText = true;
    s.triggerBarcode = fit(value, kTriggerCapacity);
    c.write("Using Mixed text, barcode is [%s]\n", s.triggerBarcode.c_str());
}

void readProtocol(Context& c, const std::string& value) {
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(value.c_str()[0])));
    if (letter == 'N') {
        c.settings.format = ResponseFormat::Nominal;
    } else if (letter == 'T') {
        c.settings.format = ResponseFormat::Trivial;
    } else {
        c.write("Unknown protocol mode: %s\n", value.c_str());
    }
}

// One option; false when reading ends (the usage text was asked for).
bool readOption(Context& c, const std::string& arg) {
    Settings& s = c.settings;
    char letter =
        arg.size() > 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(arg[1]))) : '\0';
    std::string value = arg.size() > 2 ? arg.substr(2) : std::string();
    switch (letter) {
        case '?':
            writeUsage(c);
            return false;
        case 'A':
            if (value.empty())
                break;
            s.outputPrefix = readCount(value);
            c.write("Adding %d chars out\n", s.outputPrefix);
            break;
        case 'B':
            s.showMessage = true;
            break;
        case 'C':
            s.console = true;
            c.write("Using console for input\n");
            break;
        case 'D':
            s.dataFile = fit(value, kNameCapacity);
            c.write("Using data file %s\n", s.dataFile.c_str());
            break;
        case 'E':
            s.eventPrinting = true;
            break;
        case 'F':
            s.imageCount = value.empty() ? 1 : readCount(value);
            c.write("Send %d image%s per barcode\n", s.imageCount, plural(s.imageCount));
            break;
        case 'G':
            s.inlineGraphics = true;
            c.write("Using In-Line graphics\n");
            break;
        case 'H':
            s.hostName = fit(value, kNameCapacity);
            c.write("Identifying myself as host %s\n", s.hostName.c_str());
            break;
        case 'I':
            if (value.empty())
                break;
            s.inputSkip = readCount(value);
            c.write("Ignoring %d chars on input\n", s.inputSkip);
            break;
        case 'K':
            s.bareKey = true;
            c.write("Showing any key press as EV6\n");
            break;
        case 'L':
            s.barcodeLog = fit(value, kNameCapacity);
            c.write("Logging to %s\n", s.barcodeLog.c_str());
            break;
        case 'M':
            readMixedText(c, value);
            break;
        case 'P':
            readProtocol(c, value);
            break;
        case 'R':
            s.registrationsFile = fit(value, kNameCapacity);
            c.write("Registrations to %s\n", s.registrationsFile.c_str());
            break;
        case 'S':
            s.multipleText = true;
            c.write("Multiple text responses\n");
            break;
        case 'T':
            s.threshold = readCount(value);
            c.write("Threshhold is %d seconds\n", s.threshold);
            break;
        case 'V':
            c.write(s.verbosity == 0 ? "Verbose\n" : "Even more verbose\n");
            ++s.verbosity;
            break;
        case 'Z':
            s.touchDemo = !s.touchDemo;
            break;
        default:
            c.write("Unknown: %s, use ? for help\n", arg.c_str());
            break;
    }
    return true;
}

}  // namespace

long readNumber(const std::string& text, long low, long high) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < low)
        return low;
    if (value > high)
        return high;
    return static_cast<long>(value);
}

void writeUsage(Context& c) {
    c.write("%s", kUsage);
}

CommandLine readCommandLine(Context& c, const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) {
            if (!readOption(c, arg))
                return {true, 0};
            continue;
        }
        long port = readNumber(arg, -1, 1L << 20);
        if (port < 1024 || port > 65535) {
            c.write("\nPort out of range");
            writeUsage(c);
            return {true, 0};
        }
        c.settings.port = static_cast<std::uint16_t>(port);
    }
    return {};
}

void startupSummary(Context& c) {
    Settings& s = c.settings;
    if (c.verbose(1)) {
        c.write("Using %s format packets for responses.\n",
                s.format == ResponseFormat::Trivial ? "trivial" : "nominal");
        if (s.showMessage)
            c.write("Using SLD_SHOWMESSAGE.\n");
        if (s.barcodeLog.empty())
            c.write("Not logging received barcodes\n");
        if (s.registrationsFile.empty())
            c.write("Not logging Registrations\n");
        c.write("Using data file %s\n", s.dataFile.c_str());
        if (!s.console)
            c.write("Using port %d\n", s.port);
        c.write("Threshhold time in seconds: %d\n", s.threshold);
    }
    if (s.imageCount != 0 && s.mixedText) {
        c.write("Sending %d image%s in response to [%s]%s.\n", s.imageCount, plural(s.imageCount),
                s.triggerBarcode.c_str(), ", overriding Mixed text test");
        s.mixedText = false;
    }
}

}  // namespace hobsel
