// `unitsim load`: its command line, and its report as a table or as JSON.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "unitsim/fleet.h"
#include "unitsim/load.h"

namespace unitsim {

const char* const kLoadHelp =
    "Load on a host server: unitsim load MESSAGE [load options]\n"
    "Many simulated units send MESSAGE to one host server at once, each request on a\n"
    "connection of its own as units make them, and every answer is timed and checked.\n"
    "MESSAGE is one of: barcode TEXT, prod TEXT, event STARTS KEY COLUMN ROW [TEXT],\n"
    "register UNITID PRODUCTID IP, raw HEX..., or --messages FILE: one message a line\n"
    "in the same words (a TEXT may hold blanks; a TAB ends the message and what\n"
    "follows it is that message's expected answer; '#' starts a comment line), sent\n"
    "in turn.\n"
    "  --host H              host server (default 127.0.0.1; loopback only, see --own-host)\n"
    "  --port P              its port (default 1283)\n"
    "  --units N             N units, each request from the next one's address (from\n"
    "                        127.0.1.1, or from the first address of --from)\n"
    "  --from A[-B]          the units' addresses (default: any local address)\n"
    "  --rate R              R requests per second in total, by a schedule (open loop)\n"
    "  --concurrency C       C requests in flight, each answer starting the next\n"
    "                        (closed loop; default 1 when --rate is not given)\n"
    "  --count K             K requests in all (default 100 without --duration)\n"
    "  --duration S          send for S seconds (at most 3600)\n"
    "  --timeout MS          time for each request from its send (default 5000)\n"
    "  --expect TEXT         an answer whose text is not TEXT counts as wrong; the text is\n"
    "                        an unframed answer up to its zero byte, a DATA frame's\n"
    "                        content, or another frame's body text\n"
    "  --json                the report as JSON\n"
    "  --own-host            the host is outside loopback and is yours to load\n"
    "Open loop: request i is due at i/R seconds from the start; its reply time counts\n"
    "from then, so a server that falls behind shows as reply time, not as a lower\n"
    "rate. A send leaving more than 2 ms after its time is counted late. At most 4096\n"
    "requests are in flight; later ones wait for room. The report gives sent,\n"
    "answered, wrong, failed by reason, late sends, and reply-time percentiles.\n"
    "On a terminal a progress line is shown once a second. Exit 0 when every request\n"
    "was answered (and right), 1 otherwise, 2 on a bad command line.\n";

namespace {

constexpr std::size_t kMaxCount = 10000000;
constexpr double kMaxRate = 1000000;
constexpr std::size_t kMaxConcurrency = 4096;

int loadUsage(std::FILE* err, const std::string& message) {
    std::fprintf(err, "unitsim: load: %s\nTry 'unitsim --help'.\n", message.c_str());
    std::fflush(err);
    return 2;
}

std::optional<double> positive(const std::string& text, double max) {
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !(v > 0) || v > max)
        return std::nullopt;
    return v;
}

std::optional<std::size_t> whole(const std::string& text, std::size_t max) {
    auto v = positive(text, static_cast<double>(max));
    if (!v || *v != std::floor(*v))
        return std::nullopt;
    return static_cast<std::size_t>(*v);
}

bool readMessageFile(const std::string& path, std::vector<LoadMessage>& into, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the message file";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::optional<std::string> expect;
        std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            std::string rest = line.substr(tab + 1);
            while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
            expect = rest;
            line.resize(tab);
        }
        auto split = splitMessageLine(line);
        if (!split)
            continue;
        std::string why;
        auto bytes = hostMessage(split->kind, split->words, why);
        if (!bytes) {
            error = path + ": line " + std::to_string(number) + ": " + why;
            return false;
        }
        into.push_back({std::move(*bytes), std::move(expect)});
    }
    if (into.empty())
        error = path + ": no message in the file";
    return !into.empty();
}

struct LoadArgs {
    LoadPlan plan;
    bool json = false;
    bool ownHost = false;
    std::string from;
    std::size_t units = 0;
    std::string kind;
    std::vector<std::string> words;
    std::string messageFile;
};

// Fills `a`; an error message when the command line does not fit.
std::string parseLoadArgs(const std::vector<std::string>& args, LoadArgs& a) {
    bool rateGiven = false, concurrencyGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool isOption = arg.size() > 2 && arg.compare(0, 2, "--") == 0;
        if (!isOption) {
            if (a.kind.empty())
                a.kind = arg;
            else
                a.words.push_back(arg);
            continue;
        }
        if (arg == "--json") {
            a.json = true;
            continue;
        }
        if (arg == "--own-host") {
            a.ownHost = true;
            continue;
        }
        if (i + 1 >= args.size())
            return "option " + arg + " needs a value";
        const std::string& v = args[++i];
        auto bad = [&](const char* what) { return std::string("bad ") + what + " '" + v + "'"; };
        if (arg == "--host") {
            a.plan.host = v;
        } else if (arg == "--port") {
            auto n = whole(v, 65535);
            if (!n)
                return bad("port");
            a.plan.port = static_cast<std::uint16_t>(*n);
        } else if (arg == "--units") {
            auto n = whole(v, kMaxUnits);
            if (!n)
                return bad("unit count");
            a.units = *n;
        } else if (arg == "--from") {
            a.from = v;
        } else if (arg == "--rate") {
            auto r = positive(v, kMaxRate);
            if (!r)
                return bad("rate");
            a.plan.rate = *r;
            rateGiven = true;
        } else if (arg == "--concurrency") {
            auto n = whole(v, kMaxConcurrency);
            if (!n)
                return bad("concurrency");
            a.plan.concurrency = *n;
            concurrencyGiven = true;
        } else if (arg == "--count") {
            auto n = whole(v, kMaxCount);
            if (!n)
                return bad("count");
            a.plan.count = *n;
        } else if (arg == "--duration") {
            auto s = positive(v, 3600);
            if (!s)
                return bad("duration");
            a.plan.duration = std::chrono::milliseconds(static_cast<long long>(*s * 1000));
        } else if (arg == "--timeout") {
            auto n = whole(v, 600000);
            if (!n)
                return bad("time-out");
            a.plan.timeout = std::chrono::milliseconds(*n);
        } else if (arg == "--expect") {
            a.plan.expect = v;
        } else if (arg == "--messages") {
            a.messageFile = v;
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    if (rateGiven && concurrencyGiven)
        return "--rate and --concurrency do not go together";
    if (a.plan.count == 0 && a.plan.duration.count() == 0)
        a.plan.count = 100;
    if (a.kind.empty() == a.messageFile.empty())
        return a.kind.empty() ? "no message: give barcode TEXT, prod TEXT, ... or --messages FILE"
                              : "a message and --messages do not go together";
    return {};
}

// The units' addresses from --units and --from.
std::string unitAddresses(LoadArgs& a) {
    if (a.from.empty() && a.units == 0)
        return {};
    std::string error;
    std::string from = a.from.empty() ? std::to_string(a.units) : a.from;
    auto list = parseAddressList(from, error);
    if (!list)
        return error;
    if (a.units > 0 && list->size() == 1 && !a.from.empty()) {
        // One address and a count: that many from it on.
        auto first = net::lookupHost(list->front());
        if (!first)
            return "bad address '" + a.from + "'";
        for (std::size_t i = 0; i < a.units; ++i)
            a.plan.sources.push_back(*first + static_cast<net::Ipv4>(i));
        return {};
    }
    if (a.units > list->size())
        return "--units " + std::to_string(a.units) + " is more than --from " + a.from + " holds";
    std::size_t n = a.units > 0 ? a.units : list->size();
    for (std::size_t i = 0; i < n; ++i) {
        auto address = net::lookupHost((*list)[i]);
        if (!address)
            return "bad address '" + (*list)[i] + "'";
        a.plan.sources.push_back(*address);
    }
    return {};
}

bool isLoopback(net::Ipv4 address) {
    return (address >> 24) == 127;
}

}  // namespace

int loadCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    LoadArgs a;
    std::string error = parseLoadArgs(args, a);
    if (error.empty())
        error = unitAddresses(a);
    if (!error.empty())
        return loadUsage(err, error);
    auto host = net::lookupHost(a.plan.host);
    if (!host)
        return loadUsage(err, "cannot resolve host '" + a.plan.host + "'");
    if (!isLoopback(*host) && !a.ownHost)
        return loadUsage(err, "host " + a.plan.host +
                                  " is outside loopback; give --own-host if it is yours to load");
    if (a.messageFile.empty()) {
        auto bytes = hostMessage(a.kind, a.words, error);
        if (!bytes)
            return loadUsage(err, error);
        a.plan.messages.push_back({std::move(*bytes), std::nullopt});
    } else if (!readMessageFile(a.messageFile, a.plan.messages, error)) {
        std::fprintf(err, "unitsim: load: %s\n", error.c_str());
        std::fflush(err);
        return 2;
    }
    std::size_t inFlight = a.plan.rate > 0 ? kMaxInFlight : a.plan.concurrency;
    raiseOpenFileLimit(inFlight + 64);
    bool terminal = ::isatty(::fileno(out)) == 1;
    LoadProgress progress;
    if (terminal) {
        progress = [out](const LoadResult& r) {
            std::fprintf(out, "\r%s", progressLine(r).c_str());
            std::fflush(out);
        };
    }
    LoadResult result = runLoad(a.plan, progress);
    if (terminal)
        std::fputs("\r\033[K", out);
    if (!result.error.empty()) {
        std::fprintf(err, "unitsim: load: %s\n", result.error.c_str());
        std::fflush(err);
        return 1;
    }
    std::fputs((a.json ? loadJson(a.plan, result) : loadTable(a.plan, result)).c_str(), out);
    std::fflush(out);
    return result.failed == 0 && result.wrong == 0 ? 0 : 1;
}

}  // namespace unitsim
