// SPDX-License-Identifier: Apache-2.0
#include "loadgen/load_command.h"


#include <fstream>

#include "loadgen/load_report.h"
#include "loadgen/load_run.h"
#include "platform/console.h"
#include "platform/open_files.h"
#include "platform/parse.h"
#include "unitsim/fleet.h"
#include "unitsim/host_message.h"
#include "unitsim/timeout_option.h"

namespace loadgen {

namespace {

constexpr std::size_t kMaxCount = 10000000;
constexpr double kMaxRate = 1000000;
constexpr std::size_t kMaxConcurrency = 4096;
constexpr double kMaxDuration = 3600;

const char* const kLoadFooter =
    "MESSAGE: barcode TEXT, prod TEXT, event STARTS KEY COLUMN ROW [TEXT],\n"
    "register UNITID PRODUCTID IP or raw HEX...; --messages FILE: one a line, a TAB\n"
    "and the answer expected, '#' a comment. Open loop: request i is due i/R s after\n"
    "the start, its reply time counted from then; a send over 2 ms late is counted\n"
    "late; at most 4096 in flight. An answer that is no whole frame or text counts\n"
    "malformed; samples show its first 64 bytes.\n"
    "Exit status: 0 every request answered well-formed (and right), 1 some failed,\n"
    "were malformed or wrong, 2 bad command line.";

int usage(std::FILE* err, const std::string& message) {
    std::fprintf(err, "unitsim: load: %s\nTry 'unitsim load --help'.\n", message.c_str());
    std::fflush(err);
    return 2;
}

bool readMessageFile(const std::string& path, std::vector<LoadMessage>& into, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the message file '" + path + "'";
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
        auto split = unitsim::splitMessageLine(line);
        if (!split)
            continue;
        std::string why;
        auto bytes = unitsim::hostMessage(split->kind, split->words, why);
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

// The plan from the options, the message file aside; a message when one
// does not fit.
std::optional<LoadPlan> planOf(const LoadOptions& o, std::string& warning, std::string& error) {
    LoadPlan plan;
    plan.host = o.host;
    plan.expect = o.expect;
    auto bad = [&](const char* what, const std::string& v) {
        error = std::string("bad ") + what + " '" + v + "'";
        return std::nullopt;
    };
    if (!o.port.empty()) {
        auto port = platform::parsePort(o.port);
        if (!port)
            return bad("port", o.port);
        plan.port = *port;
    }
    if (!o.rate.empty()) {
        auto rate = platform::parseSeconds(o.rate, kMaxRate);  // a positive decimal, as seconds are
        if (!rate)
            return bad("rate", o.rate);
        plan.rate = *rate;
    }
    if (!o.concurrency.empty()) {
        auto n = platform::parseUnsigned(o.concurrency, kMaxConcurrency);
        if (!n || *n == 0)
            return bad("concurrency", o.concurrency);
        plan.concurrency = *n;
    }
    if (!o.count.empty()) {
        auto n = platform::parseUnsigned(o.count, kMaxCount);
        if (!n || *n == 0)
            return bad("count", o.count);
        plan.count = *n;
    }
    if (!o.duration.empty()) {
        auto s = platform::parseSeconds(o.duration, kMaxDuration);
        if (!s)
            return bad("duration", o.duration);
        plan.duration = std::chrono::milliseconds(static_cast<long long>(*s * 1000));
    }
    if (!o.timeout.empty()) {
        auto t = unitsim::parseTimeout(o.timeout);
        if (!t)
            return bad("time-out", o.timeout);
        plan.timeout = t->value;
        warning = t->warning;
    }
    if (!o.rate.empty() && !o.concurrency.empty()) {
        error = "--rate and --concurrency do not go together";
        return std::nullopt;
    }
    if (plan.count == 0 && plan.duration.count() == 0)
        plan.count = 100;
    if (o.message.empty() == o.messageFile.empty()) {
        error = o.message.empty()
                    ? "no message: give barcode TEXT, prod TEXT, ... or --messages FILE"
                    : "a message and --messages do not go together";
        return std::nullopt;
    }
    return plan;
}

// The units' addresses from --units and --from.
bool addSources(const LoadOptions& o, LoadPlan& plan, std::string& error) {
    std::size_t units = 0;
    if (!o.units.empty()) {
        auto n = platform::parseUnsigned(o.units, unitsim::kMaxUnits);
        if (!n || *n == 0) {
            error = "bad unit count '" + o.units + "'";
            return false;
        }
        units = *n;
    }
    if (o.from.empty() && units == 0)
        return true;
    std::string from = o.from.empty() ? std::to_string(units) : o.from;
    auto list = unitsim::parseAddressList(from, error);
    if (!list)
        return false;
    std::vector<platform::Ipv4> addresses;
    for (const std::string& text : *list) {
        auto address = platform::parseIpv4(text);
        if (!address) {
            error = "bad address '" + text + "' (dotted, e.g. 127.0.1.1)";
            return false;
        }
        addresses.push_back(*address);
    }
    if (units > 0 && addresses.size() == 1 && !o.from.empty()) {
        // One address and a count: that many from it on.
        for (std::size_t i = 0; i < units; ++i)
            plan.sources.push_back(addresses.front() + static_cast<platform::Ipv4>(i));
        return true;
    }
    if (units > addresses.size()) {
        error = "--units " + o.units + " is more than --from " + o.from + " holds";
        return false;
    }
    std::size_t n = units > 0 ? units : addresses.size();
    plan.sources.assign(addresses.begin(), addresses.begin() + static_cast<std::ptrdiff_t>(n));
    return true;
}

bool isLoopback(platform::Ipv4 address) {
    return (address >> 24) == 127;
}

}  // namespace

CLI::App* addLoadCommand(CLI::App& parent, LoadOptions& o) {
    CLI::App* load = parent.add_subcommand(
        "load",
        "Many simulated units send MESSAGE to one host server; every answer timed and checked");
    load->footer(kLoadFooter);
    load->add_option("MESSAGE", o.message, "The message every unit sends (below)")->type_name("");
    load->add_option("--messages", o.messageFile, "Send the messages of FILE in turn")
        ->type_name("FILE");
    load->add_option("--host", o.host, "Host server (default 127.0.0.1; loopback only)")
        ->type_name("H");
    load->add_option("--port", o.port, "Its port (default 1283)")->type_name("P");
    load->add_option("--units", o.units, "N units, one address each, in turn (from 127.0.1.1)")
        ->type_name("N");
    load->add_option("--from", o.from, "The units' addresses: A, A-B or A/N")->type_name("A");
    load->add_option("--rate", o.rate, "R requests a second by a schedule (open loop)")
        ->type_name("R");
    load->add_option("--concurrency", o.concurrency,
                     "C requests in flight, each answer starting the next (default 1)")
        ->type_name("C");
    load->add_option("--count", o.count, "K requests in all (default 100 without --duration)")
        ->type_name("K");
    load->add_option("--duration", o.duration, "Send for S seconds (at most 3600)")->type_name("S");
    load->add_option("--timeout", o.timeout, "Seconds for each request from its send (default 5)")
        ->type_name("SECONDS");
    load->add_option("--expect", o.expect, "An answer whose text is not TEXT counts wrong")
        ->type_name("TEXT");
    load->add_flag("--json", o.json, "The report as JSON");
    load->add_flag("--own-host", o.ownHost, "The host is outside loopback and yours to load");
    return load;
}

int runLoadCommand(const LoadOptions& o, std::FILE* out, std::FILE* err) {
    std::string warning, error;
    std::optional<LoadPlan> plan = planOf(o, warning, error);
    if (!plan || !addSources(o, *plan, error))
        return usage(err, error);
    auto host = platform::lookupHost(plan->host);
    if (!host)
        return usage(err, "cannot resolve host '" + plan->host + "'");
    if (!isLoopback(*host) && !o.ownHost)
        return usage(err, "host " + plan->host +
                              " is outside loopback; give --own-host if it is yours to load");
    if (o.messageFile.empty()) {
        std::vector<std::string> words(o.message.begin() + 1, o.message.end());
        auto bytes = unitsim::hostMessage(o.message.front(), words, error);
        if (!bytes)
            return usage(err, error);
        plan->messages.push_back({std::move(*bytes), std::nullopt});
    } else if (!readMessageFile(o.messageFile, plan->messages, error)) {
        std::fprintf(err, "unitsim: load: %s\n", error.c_str());
        std::fflush(err);
        return 2;
    }
    if (!warning.empty())
        std::fprintf(err, "unitsim: load: %s\n", warning.c_str());
    std::size_t inFlight = plan->rate > 0 ? kMaxInFlight : plan->concurrency;
    platform::raiseOpenFileLimit(inFlight + 64);
    bool terminal = platform::isTerminal(out);
    LoadProgress progress;
    if (terminal) {
        progress = [out](const LoadResult& r) {
            std::fprintf(out, "\r%s", progressLine(r).c_str());
            std::fflush(out);
        };
    }
    LoadResult result = runLoad(*plan, progress);
    if (terminal)
        std::fputs("\r\033[K", out);
    if (!result.error.empty()) {
        std::fprintf(err, "unitsim: load: %s\n", result.error.c_str());
        std::fflush(err);
        return 1;
    }
    std::fputs((o.json ? loadJson(*plan, result) : loadTable(*plan, result)).c_str(), out);
    std::fflush(out);
    return result.clean() ? 0 : 1;
}

}  // namespace loadgen
