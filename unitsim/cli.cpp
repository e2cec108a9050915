#include "unitsim/cli.h"

#include <pthread.h>
#include <signal.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "net/socket.h"
#include "unitsim/fleet.h"
#include "unitsim/host_message.h"
#include "unitsim/journal.h"
#include "unitsim/load.h"
#include "unitsim/messages.h"
#include "unitsim/modefile.h"
#include "unitsim/unit.h"

namespace unitsim {

namespace {

const char* const kUsage =
    "Usage: unitsim [options]                      serve a simulated unit\n"
    "       unitsim barcode TEXT [host options]     send a barcode as text and its zero byte\n"
    "       unitsim prod TEXT [host options]        send a barcode as a PROD frame\n"
    "       unitsim event STARTS KEY COLUMN ROW [TEXT] [host options]   send an EVNT frame\n"
    "       unitsim register UNITID PRODUCTID IP [host options]  send an RGST frame\n"
    "       unitsim raw HEX... [host options]       send bytes given in hex (blanks ignored)\n"
    "       unitsim load MESSAGE [load options]     many units load one host server (below)\n"
    "\n"
    "Serving a unit: listens on ADDRESS:PORT, answers MDSQ queries from its mode table,\n"
    "records everything else; runs until SIGINT or SIGTERM. Prints\n"
    "'unitsim: unit listening on ADDRESS:PORT' once ready.\n"
    "  --address A           address to listen on (default 127.0.0.2); A-B: one unit on\n"
    "                        every address from A to B; N: N units from 127.0.1.1\n"
    "  --port P              port (default 1283)\n"
    "  --modes FILE          mode table from FILE instead of the built-in one\n"
    "  --journal FILE        append the journal to FILE (flushed per line)\n"
    "  --print-modes         print the mode table (built-in or --modes) and stop\n"
    "Faults:\n"
    "  --keepalives N        send N DATA/NOP_ keep-alives ahead of every reply\n"
    "  --refuse MODE         refuse sets of MODE (repeat, or MODE,MODE,...)\n"
    "  --drift MODE          MODE's value changes after every read\n"
    "  --delay MS            wait MS milliseconds before every reply\n"
    "  --drop-mid-frame      send half of the first reply, then close\n"
    "  --oversized-length    give the first reply the length field 0x7FFFFFF0\n"
    "  --silent              read queries, never answer\n"
    "  --every K[+R]         the fault options after it go only to every K-th unit,\n"
    "                        counted from 0 in address order, starting at unit R\n"
    "                        (default 0); those before any --every go to every unit\n"
    "\n"
    "Many units (--address A-B or N): one process serves them all, each with its own\n"
    "modes, connections, journal and one-shot faults. Prints 'unitsim: N units\n"
    "listening on A-B:PORT' once every one is ready. --journal FILE is written per\n"
    "unit: '%a' in FILE becomes the unit's address, else '.ADDRESS' is appended.\n"
    "Example: 50 units, every 10th silent, unit 1 of every 10 refusing POSTimeout:\n"
    "  unitsim --address 127.0.1.1-127.0.1.50 --every 10 --silent\n"
    "          --every 10+1 --refuse POSTimeout\n"
    "\n"
    "Queries (MDSQ text): empty: definition lines 'Name = TYPE' or 'Name = STRING,16',\n"
    "a TAB and the help text while ForceHelpText is TRUE; '*': a line 'Name = value' per\n"
    "mode; a mode name: 'Name = value'; 'Name = value' or 'Name=value': set (unknown,\n"
    "read-only, STRING longer than its size or refused -> error report); 'Commit = TRUE'\n"
    "keeps the current values; 'RESTART=TRUE' drops uncommitted values and closes that\n"
    "connection without a reply. Lines end in CR LF. ForceResponse, ForceError and\n"
    "ForceHelpText are TRUE or FALSE per connection and start FALSE: with ForceResponse\n"
    "FALSE accepted sets and commits get no reply (queries always do); with ForceError\n"
    "FALSE errors come as MODR instead of ERR_ frames, with the same text. A drifting\n"
    "number counts up by one per read; any other drifting value gets a suffix ~1, ~2, ...\n"
    "Input that is not a frame (first byte not zero) is text up to its zero byte; a text\n"
    "starting '<' is followed by a 4-byte size and that many file bytes. A length field\n"
    "below 8 or above 1 MiB closes the connection.\n"
    "Exit status: 0 after SIGINT or SIGTERM, 1 when an address cannot be bound, 2 on a\n"
    "bad option or mode file.\n"
    "\n"
    "Host options (the unit's side of a host connection):\n"
    "  --host H              host server address (default 127.0.0.1)\n"
    "  --port P              host server port (default 1283)\n"
    "  --from A              local address to connect from (the host sees this peer)\n"
    "  --timeout MS          wait at most MS for the host to answer and close (default 5000)\n"
    "  --hex                 print the answer as a hex dump\n"
    "  --raw                 write the answer's bytes as they are\n"
    "  Without --hex or --raw each message of the answer is printed as a journal line\n"
    "  (below) after 'answer: '. Exit 0 when connected, 1 when the host was not reached.\n"
    "\n";

struct Parser {
    const std::vector<std::string>& args;
    std::size_t at = 0;
    std::string error;

    bool more() const { return at < args.size(); }
    const std::string& next() { return args[at++]; }
    // The value of an option; sets `error` when it is missing.
    std::optional<std::string> value(const std::string& option) {
        if (more())
            return next();
        error = "option " + option + " needs a value";
        return std::nullopt;
    }
};

std::optional<unsigned long> number(const std::string& text, unsigned long max) {
    if (text.empty() || text[0] == '-')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long n = std::strtoul(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || n > max)
        return std::nullopt;
    return n;
}

int usageError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "unitsim: %s\nTry 'unitsim --help'.\n", message.c_str());
    std::fflush(err);
    return 2;
}

void splitList(const std::string& text, std::vector<std::string>& into) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma - start);
        if (!item.empty())
            into.push_back(item);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
}

// One unit per address, each with its share of the faults and a journal of
// its own.
std::vector<Options> unitOptions(const Options& common, const std::vector<std::string>& addresses,
                                 const std::vector<FaultShare>& shares) {
    std::vector<Options> list;
    list.reserve(addresses.size());
    bool many = addresses.size() > 1;
    auto table = std::make_shared<const std::vector<ModeDef>>(common.modes);
    Options base = common;
    base.modes.clear();
    base.sharedModes = table;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        Options options = base;
        options.address = addresses[i];
        options.faults = faultsFor(i, common.faults, shares);
        options.journalPath = journalPathFor(common.journalPath, addresses[i], many);
        options.keepRecords = false;
        list.push_back(std::move(options));
    }
    return list;
}

// Waits for SIGINT or SIGTERM; they are blocked in every thread first so the
// serving threads never take them.
int serveUntilSignal(std::vector<Options> list, std::FILE* out, std::FILE* err) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::string port = std::to_string(list.front().port);
    std::string where = list.size() == 1
                            ? list.front().address + ":" + port
                            : list.front().address + "-" + list.back().address + ":" + port;
    if (!raiseOpenFileLimit(descriptorsFor(list.size()))) {
        std::fprintf(err, "unitsim: the open-file limit is too low for %zu units\n", list.size());
        std::fflush(err);
        return 1;
    }
    std::string error;
    std::optional<UnitGroup> units = UnitGroup::start(std::move(list), error);
    if (!units) {
        std::fprintf(err, "unitsim: %s\n", error.c_str());
        std::fflush(err);
        return 1;
    }
    if (units->size() == 1)
        std::fprintf(out, "unitsim: unit listening on %s\n", where.c_str());
    else
        std::fprintf(out, "unitsim: %zu units listening on %s\n", units->size(), where.c_str());
    std::fflush(out);
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return 0;
}

int serveCommand(Parser& p, std::FILE* out, std::FILE* err) {
    Options options;
    std::vector<std::string> addresses{options.address};
    std::vector<FaultShare> shares;
    // Fault options fill the common faults until an --every starts a share.
    auto faults = [&]() -> Faults& {
        return shares.empty() ? options.faults : shares.back().faults;
    };
    bool printModes = false;
    std::string modeFile;
    while (p.more()) {
        std::string option = p.next();
        std::optional<std::string> v;
        auto needs = [&]() { return (v = p.value(option)).has_value(); };
        if (option == "--address") {
            if (!needs())
                break;
            std::string error;
            auto list = parseAddressList(*v, error);
            if (!list)
                return usageError(err, error);
            addresses = std::move(*list);
        } else if (option == "--every") {
            if (!needs())
                break;
            auto share = parseShare(*v);
            if (!share)
                return usageError(err, "bad share '" + *v + "' (K or K+R, R below K)");
            shares.push_back(std::move(*share));
        } else if (option == "--port") {
            if (!needs())
                break;
            auto n = number(*v, 65535);
            if (!n || *n == 0)
                return usageError(err, "bad port '" + *v + "'");
            options.port = static_cast<std::uint16_t>(*n);
        } else if (option == "--modes") {
            if (!needs())
                break;
            modeFile = *v;
        } else if (option == "--journal") {
            if (!needs())
                break;
            options.journalPath = *v;
        } else if (option == "--print-modes") {
            printModes = true;
        } else if (option == "--keepalives") {
            if (!needs())
                break;
            auto n = number(*v, 1000);
            if (!n)
                return usageError(err, "bad keep-alive count '" + *v + "'");
            faults().keepAlivesBeforeReply = static_cast<int>(*n);
        } else if (option == "--refuse") {
            if (!needs())
                break;
            splitList(*v, faults().refusedModes);
        } else if (option == "--drift") {
            if (!needs())
                break;
            faults().driftingMode = *v;
        } else if (option == "--delay") {
            if (!needs())
                break;
            auto n = number(*v, 3600000);
            if (!n)
                return usageError(err, "bad delay '" + *v + "'");
            faults().replyDelay = std::chrono::milliseconds(*n);
        } else if (option == "--drop-mid-frame") {
            faults().dropMidFrame = true;
        } else if (option == "--oversized-length") {
            faults().oversizedLength = true;
        } else if (option == "--silent") {
            faults().silent = true;
        } else if (option.rfind("-", 0) == 0) {
            return usageError(err, "unknown option '" + option + "'");
        } else {
            return usageError(err, "unexpected argument '" + option + "'");
        }
    }
    if (!p.error.empty())
        return usageError(err, p.error);
    if (!modeFile.empty()) {
        std::string error;
        auto modes = loadModeFile(modeFile, error);
        if (!modes) {
            std::fprintf(err, "unitsim: %s\n", error.c_str());
            std::fflush(err);
            return 2;
        }
        options.modes = std::move(*modes);
    }
    if (printModes) {
        std::fputs(formatModeText(options.modes).c_str(), out);
        std::fflush(out);
        return 0;
    }
    return serveUntilSignal(unitOptions(options, addresses, shares), out, err);
}

enum class Show { Lines, Hex, Raw };

void printAnswer(const HostReply& reply, Show show, std::FILE* out) {
    protocol::ConstBytes bytes(reply.bytes);
    if (show == Show::Raw) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    } else if (show == Show::Hex) {
        std::fputs(hexDump(bytes).c_str(), out);
    } else if (bytes.empty()) {
        std::fputs("answer: (nothing)\n", out);
    } else {
        for (const std::string& line : describeStream(bytes))
            std::fprintf(out, "answer: %s\n", line.c_str());
    }
    std::fflush(out);
}

int hostCommand(const std::string& command, Parser& p, std::FILE* out, std::FILE* err) {
    HostTarget target;
    Show show = Show::Lines;
    std::vector<std::string> words;
    while (p.more()) {
        std::string arg = p.next();
        std::optional<std::string> v;
        auto needs = [&]() { return (v = p.value(arg)).has_value(); };
        if (arg == "--host") {
            if (!needs())
                break;
            target.host = *v;
        } else if (arg == "--from") {
            if (!needs())
                break;
            target.from = *v;
        } else if (arg == "--port") {
            if (!needs())
                break;
            auto n = number(*v, 65535);
            if (!n || *n == 0)
                return usageError(err, "bad port '" + *v + "'");
            target.port = static_cast<std::uint16_t>(*n);
        } else if (arg == "--timeout") {
            if (!needs())
                break;
            auto n = number(*v, 3600000);
            if (!n)
                return usageError(err, "bad time-out '" + *v + "'");
            target.timeout = std::chrono::milliseconds(*n);
        } else if (arg == "--hex") {
            show = Show::Hex;
        } else if (arg == "--raw") {
            show = Show::Raw;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            return usageError(err, "unknown option '" + arg + "'");
        } else {
            words.push_back(arg);
        }
    }
    if (!p.error.empty())
        return usageError(err, p.error);
    if (!net::lookupHost(target.host))
        return usageError(err, "cannot resolve host '" + target.host + "'");
    if (!target.from.empty() && !net::lookupHost(target.from))
        return usageError(err, "cannot resolve address '" + target.from + "'");
    std::string error;
    std::optional<MessageBytes> message = hostMessage(command, words, error);
    if (!message)
        return usageError(err, error);
    HostReply reply = sendRaw(target, *message);
    if (!reply.connected) {
        std::fprintf(err, "unitsim: cannot connect to %s:%u\n", target.host.c_str(),
                     static_cast<unsigned>(target.port));
        std::fflush(err);
        return 1;
    }
    printAnswer(reply, show, out);
    return 0;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Parser p{args, 0, {}};
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, out);
            std::fputs(kModeFileHelp, out);
            std::fputs("\n", out);
            std::fputs(kJournalHelp, out);
            std::fputs("\n", out);
            std::fputs(kLoadHelp, out);
            std::fflush(out);
            return 0;
        }
    }
    if (p.more() && args[0] == "load")
        return loadCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    if (p.more() && isHostMessageKind(args[0])) {
        std::string command = p.next();
        return hostCommand(command, p, out, err);
    }
    return serveCommand(p, out, err);
}

}  // namespace unitsim
