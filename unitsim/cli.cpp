// SPDX-License-Identifier: Apache-2.0
#include "unitsim/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <optional>

#include "loadgen/load_command.h"
#include "platform/open_files.h"
#include "platform/parse.h"
#include "platform/socket.h"
#include "platform/signal_wait.h"
#include "unitsim/fleet.h"
#include "unitsim/host.h"
#include "unitsim/host_message.h"
#include "unitsim/identity.h"
#include "unitsim/journal.h"
#include "unitsim/messages.h"
#include "unitsim/modefile.h"
#include "unitsim/timeout_option.h"
#include "unitsim/unit.h"

#ifndef SUITE_VERSION
#define SUITE_VERSION "unknown"
#endif

namespace unitsim {

namespace {

const char* const kServeFooter =
    "Many units: --address A-B, A/N or N (N units from 127.0.1.1) serves one unit per\n"
    "address in one process, named by --name-pattern (default TILL%04d: TILL0001,\n"
    "TILL0002, ... in address order), SerialNumber and MACAddress from its address.\n"
    "Faults after --every K[+R] go to every K-th unit from unit R (from 0).\n"
    "Mode file, queries and journal lines: unitsim --help-formats. All of it: man unitsim.\n"
    "Exit status: 0 after SIGINT or SIGTERM, 1 an address cannot be bound, 2 bad usage.";

const char* const kHostFooter =
    "Without --hex or --raw each message of the answer is printed as a journal line\n"
    "after 'answer: '. Exit status: 0 connected, 1 host not reached, 2 bad usage.";

const char* const kQueryHelp =
    "Queries (MDSQ text): empty: definition lines 'Name = TYPE' or 'Name = STRING,16',\n"
    "a TAB and the help text while ForceHelpText is TRUE; '*': a line 'Name = value' per\n"
    "mode; a mode name: its line 'Name = value'; 'Name = value' or 'Name=value': set\n"
    "(unknown, read-only, STRING longer than its size or refused -> error report);\n"
    "'Commit = TRUE' keeps the current values; 'RESTART=TRUE' drops uncommitted values\n"
    "and closes that connection without a reply. Answer lines end in CR LF.\n"
    "ForceResponse, ForceError and ForceHelpText are TRUE or FALSE per connection and\n"
    "start FALSE: with ForceResponse FALSE accepted sets and commits get no reply\n"
    "(queries always do); with ForceError FALSE errors come as MODR instead of ERR_\n"
    "frames, with the same text. A drifting number counts up by one per read; any\n"
    "other drifting value gets a suffix ~1, ~2, ... Input that is not a frame (first\n"
    "byte not zero) is text up to its zero byte; a text starting '<' is followed by a\n"
    "4-byte size and that many file bytes. A length field below 8 or above 1 MiB\n"
    "closes the connection.\n";

// What `unitsim` (serving units) was given.
struct ServeOptions {
    std::string address, port, modes, journal, namePattern = kDefaultNamePattern;
    bool printModes = false;
    bool formats = false;
    Faults faults;  // to every unit
    std::vector<FaultShare> shares;
};

// The fault options: read in the order given, as --every changes where the
// ones after it go.
struct FaultOptions {
    CLI::Option* keepalives;
    CLI::Option* refuse;
    CLI::Option* drift;
    CLI::Option* delay;
    CLI::Option* dropMidFrame;
    CLI::Option* oversizedLength;
    CLI::Option* silent;
    CLI::Option* every;
};

// What a host subcommand (barcode, prod, ...) was given.
struct HostOptions {
    std::string kind;
    std::vector<std::string> words;
    std::string host = "127.0.0.1", port, from, timeout;
    bool hex = false, raw = false;
};

int usageError(std::FILE* err, const std::string& message, const std::string& command = {}) {
    std::string again = command.empty() ? "unitsim --help" : "unitsim " + command + " --help";
    std::fprintf(err, "unitsim: %s\nTry '%s'.\n", message.c_str(), again.c_str());
    std::fflush(err);
    return 2;
}

int failure(std::FILE* err, const std::string& message, int status) {
    std::fprintf(err, "unitsim: %s\n", message.c_str());
    std::fflush(err);
    return status;
}

FaultOptions addFaultOptions(CLI::App& app) {
    auto repeatable = [](CLI::Option* o) {
        return o->group("Faults (for tests)")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    FaultOptions f{};
    f.keepalives = repeatable(
        app.add_option("--keepalives", "Send N DATA/NOP_ keep-alives ahead of every reply")
            ->type_name("N"));
    f.refuse = repeatable(app.add_option("--refuse", "Refuse sets of MODE (repeat, or MODE,MODE)")
                              ->type_name("MODE"));
    f.drift = repeatable(
        app.add_option("--drift", "MODE's value changes after every read")->type_name("MODE"));
    f.delay = repeatable(
        app.add_option("--delay", "Wait MS milliseconds before every reply")->type_name("MS"));
    f.dropMidFrame = repeatable(
        app.add_flag("--drop-mid-frame")->description("Send half of the first reply, then close"));
    f.oversizedLength =
        repeatable(app.add_flag("--oversized-length")
                       ->description("Give the first reply the length field 0x7FFFFFF0"));
    f.silent = repeatable(app.add_flag("--silent")->description("Read queries, never answer"));
    f.every =
        repeatable(app.add_option("--every", "The faults after it go to every K-th unit (K or K+R)")
                       ->type_name("K[+R]"));
    return f;
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

// The faults in the order the options came: the common ones until an --every
// starts a share. A message when a value does not fit.
bool readFaults(const CLI::App& app, const FaultOptions& f, Faults& common,
                std::vector<FaultShare>& shares, std::string& error) {
    std::map<const CLI::Option*, std::size_t> seen;
    for (const CLI::Option* option : app.parse_order()) {
        std::size_t at = seen[option]++;
        const std::vector<std::string>& values = option->results();
        std::string v = at < values.size() ? values[at] : std::string();
        Faults& faults = shares.empty() ? common : shares.back().faults;
        if (option == f.every) {
            auto share = parseFaultShare(v);
            if (!share) {
                error = "bad share '" + v + "' (K or K+R, R below K)";
                return false;
            }
            shares.push_back(std::move(*share));
        } else if (option == f.keepalives) {
            auto n = platform::parseUnsigned(v, 1000);
            if (!n) {
                error = "bad keep-alive count '" + v + "'";
                return false;
            }
            faults.keepAlivesBeforeReply = static_cast<int>(*n);
        } else if (option == f.refuse) {
            splitList(v, faults.refusedModes);
        } else if (option == f.drift) {
            faults.driftingMode = v;
        } else if (option == f.delay) {
            auto n = platform::parseUnsigned(v, 3600000);
            if (!n) {
                error = "bad delay '" + v + "'";
                return false;
            }
            faults.replyDelay = std::chrono::milliseconds(*n);
        } else if (option == f.dropMidFrame) {
            faults.dropMidFrame = true;
        } else if (option == f.oversizedLength) {
            faults.oversizedLength = true;
        } else if (option == f.silent) {
            faults.silent = true;
        }
    }
    return true;
}

// The most characters a UnitID may hold in `modes`; none when it has no UnitID
// or no size for it.
std::optional<std::size_t> unitIdSize(const std::vector<ModeDef>& modes) {
    int i = findModeDef(modes, "UnitID");
    if (i < 0 || modes[i].size <= 0)
        return std::nullopt;
    return static_cast<std::size_t>(modes[i].size);
}

// One unit per address, each with its share of the faults and a journal of
// its own; among many, each with its own UnitID, SerialNumber and MACAddress.
std::vector<Options> unitOptions(const Options& common, const std::vector<std::string>& addresses,
                                 const std::vector<FaultShare>& shares,
                                 const std::string& namePattern) {
    std::vector<Options> list;
    list.reserve(addresses.size());
    bool many = addresses.size() > 1;
    auto table = std::make_shared<const std::vector<ModeDef>>(common.modes);
    auto pattern = std::make_shared<const std::string>(namePattern);
    Options base = common;
    base.modes.clear();
    base.sharedModes = table;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        Options options = base;
        options.address = addresses[i];
        options.faults = faultsFor(i, common.faults, shares);
        options.journalPath = journalPathFor(common.journalPath, addresses[i], many);
        options.keepRecords = false;
        // A list of many holds dotted addresses only (a count or a range).
        if (many)
            options.identity = {pattern, static_cast<std::uint32_t>(i + 1),
                                *platform::parseIpv4(addresses[i])};
        list.push_back(std::move(options));
    }
    return list;
}

// Waits for SIGINT or SIGTERM; they are blocked in every thread first so the
// serving threads never take them.
int serveUntilSignal(std::vector<Options> list, std::FILE* out, std::FILE* err) {
    platform::blockStopSignals();
    std::string port = std::to_string(list.front().port);
    std::string where = list.size() == 1
                            ? list.front().address + ":" + port
                            : list.front().address + "-" + list.back().address + ":" + port;
    if (!platform::raiseOpenFileLimit(descriptorsFor(list.size())))
        return failure(
            err, "the open-file limit is too low for " + std::to_string(list.size()) + " units", 1);
    std::string error;
    std::optional<UnitGroup> units = UnitGroup::start(std::move(list), error);
    if (!units)
        return failure(err, error, 1);
    if (units->size() == 1)
        std::fprintf(out, "unitsim: unit listening on %s\n", where.c_str());
    else
        std::fprintf(out, "unitsim: %zu units listening on %s\n", units->size(), where.c_str());
    std::fflush(out);
    platform::waitForStopSignal();
    return 0;
}

int serve(const ServeOptions& s, std::FILE* out, std::FILE* err) {
    if (s.formats) {
        std::fputs(kModeFileHelp, out);
        std::fputs("\n", out);
        std::fputs(kQueryHelp, out);
        std::fputs("\n", out);
        std::fputs(kJournalHelp, out);
        std::fflush(out);
        return 0;
    }
    Options options;
    std::vector<std::string> addresses{options.address};
    std::string error;
    if (!s.address.empty()) {
        auto list = parseAddressList(s.address, error);
        if (!list)
            return usageError(err, error);
        addresses = std::move(*list);
    }
    if (!s.port.empty()) {
        auto port = platform::parsePort(s.port);
        if (!port)
            return usageError(err, "bad port '" + s.port + "'");
        options.port = *port;
    }
    if (!checkNamePattern(s.namePattern, error))
        return usageError(err, error);
    options.faults = s.faults;
    options.journalPath = s.journal;
    if (!s.modes.empty()) {
        auto modes = loadModeFile(s.modes, error);
        if (!modes)
            return failure(err, error, 2);
        options.modes = std::move(*modes);
    }
    if (s.printModes) {
        std::fputs(formatModeText(options.modes).c_str(), out);
        std::fflush(out);
        return 0;
    }
    if (addresses.size() > 1) {
        std::string last = nameFromPattern(s.namePattern, addresses.size());
        std::optional<std::size_t> most = unitIdSize(options.modes);
        if (most && last.size() > *most)
            return usageError(err, "name '" + last + "' is longer than UnitID's " +
                                       std::to_string(*most) + " characters");
    }
    return serveUntilSignal(unitOptions(options, addresses, s.shares, s.namePattern), out, err);
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

CLI::App* addHostCommand(CLI::App& app, HostOptions& h, const char* kind, const char* words,
                         const char* what) {
    CLI::App* command = app.add_subcommand(kind, what);
    command->footer(kHostFooter);
    command->add_option("WORDS", h.words, "The message: " + std::string(words))->type_name("");
    command->add_option("--host", h.host, "Host server (default 127.0.0.1)")->type_name("H");
    command->add_option("--port", h.port, "Its port (default 1283)")->type_name("P");
    command->add_option("--from", h.from, "Local address to connect from (the host sees this peer)")
        ->type_name("A");
    command
        ->add_option("--timeout", h.timeout,
                     "Seconds to wait for the answer and the close (default 5)")
        ->type_name("SECONDS");
    command->add_flag("--hex", h.hex, "Print the answer as a hex dump");
    command->add_flag("--raw", h.raw, "Write the answer's bytes as they are");
    return command;
}

int sendToHost(const HostOptions& h, std::FILE* out, std::FILE* err) {
    HostTarget target;
    target.host = h.host;
    target.from = h.from;
    if (!h.port.empty()) {
        auto port = platform::parsePort(h.port);
        if (!port)
            return usageError(err, "bad port '" + h.port + "'", h.kind);
        target.port = *port;
    }
    std::string warning;
    if (!h.timeout.empty()) {
        auto t = parseTimeout(h.timeout);
        if (!t)
            return usageError(err, "bad time-out '" + h.timeout + "'", h.kind);
        target.timeout = t->value;
        warning = t->warning;
    }
    if (!platform::lookupHost(target.host))
        return usageError(err, "cannot resolve host '" + target.host + "'", h.kind);
    if (!target.from.empty() && !platform::lookupHost(target.from))
        return usageError(err, "cannot resolve address '" + target.from + "'", h.kind);
    std::string error;
    std::optional<MessageBytes> message = hostMessage(h.kind, h.words, error);
    if (!message)
        return usageError(err, error, h.kind);
    if (!warning.empty())
        failure(err, warning, 0);
    HostReply reply = sendRaw(target, *message);
    if (!reply.connected)
        return failure(err, "cannot connect to " + target.host + ":" + std::to_string(target.port),
                       1);
    printAnswer(reply, h.raw ? Show::Raw : h.hex ? Show::Hex : Show::Lines, out);
    return 0;
}

// CLI11's words for a fault of the command line, in the suite's.
std::string messageOf(const CLI::ParseError& e) {
    std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        std::size_t colon = what.find(':');
        if (colon != std::string::npos && what.compare(0, 2, "--") == 0)
            return "option " + what.substr(0, colon) + " needs a value";
    }
    if (!what.empty())
        what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
    return what;
}

// Arguments nobody took: an unknown option, or a word where none belongs.
std::optional<std::string> leftOver(const CLI::App& app) {
    for (const std::string& arg : app.remaining(true)) {
        if (arg.size() > 1 && arg[0] == '-')
            return "unknown option '" + arg + "'";
        return "unexpected argument '" + arg + "'";
    }
    return std::nullopt;
}

// What the command line asks for, once it is read.
enum class Run { Serve, Host, Load, Done };
struct Command {
    Run run = Run::Done;
    int status = 0;  // Done: the exit status
    ServeOptions serve;
    HostOptions host;
    loadgen::LoadOptions load;
};

Command done(int status) {
    Command c;
    c.status = status;
    return c;
}

// Reads the command line; the parser and its tables are gone before the
// units are served.
Command parse(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Command command;
    ServeOptions& s = command.serve;
    HostOptions& h = command.host;
    loadgen::LoadOptions& load = command.load;
    CLI::App app{
        "unitsim: serve simulated units until SIGINT or SIGTERM, or act as a unit towards "
        "a host server (unitsim COMMAND --help)"};
    app.name("unitsim");
    app.footer(kServeFooter);
    app.set_version_flag("--version", std::string("unitsim ") + SUITE_VERSION);
    app.allow_extras();
    // One command at most: "load barcode X" is load's message, not two commands.
    app.require_subcommand(0, 1);
    app.add_option("--address", s.address,
                   "Address to listen on (default 127.0.0.2); A-B, A/N or N: many units")
        ->type_name("A");
    app.add_option("--port", s.port, "Port (default 1283)")->type_name("P");
    app.add_option("--modes", s.modes, "Mode table from FILE instead of the built-in one")
        ->type_name("FILE");
    app.add_option("--journal", s.journal, "Append the journal to FILE ('%a': each unit's address)")
        ->type_name("FILE");
    app.add_option("--name-pattern", s.namePattern, "UnitIDs of many units (default TILL%04d)")
        ->type_name("PATTERN");
    app.add_flag("--print-modes", s.printModes, "Print the mode table and stop");
    app.add_flag("--help-formats", s.formats, "Describe the mode file, queries and journal lines");
    FaultOptions faults = addFaultOptions(app);

    CLI::App* hostCommands[] = {
        addHostCommand(app, h, "barcode", "TEXT", "Send a barcode as text and its zero byte"),
        addHostCommand(app, h, "prod", "TEXT", "Send a barcode as a PROD frame"),
        addHostCommand(app, h, "event", "STARTS KEY COLUMN ROW [TEXT]", "Send an EVNT frame"),
        addHostCommand(app, h, "register", "UNITID PRODUCTID IP", "Send an RGST frame"),
        addHostCommand(app, h, "raw", "HEX...", "Send bytes given in hex (blanks ignored)"),
    };
    CLI::App* loadCommand = loadgen::addLoadCommand(app, load);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    auto chosen = [&]() -> std::string {
        for (CLI::App* command : hostCommands) {
            if (command->parsed())
                return command->get_name();
        }
        return {};
    };
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), out);
        std::fflush(out);
        return done(0);
    } catch (const CLI::CallForVersion& e) {
        std::fprintf(out, "%s\n", e.what());
        std::fflush(out);
        return done(0);
    } catch (const CLI::ParseError& e) {
        if (loadCommand->parsed())
            return done(usageError(err, "load: " + messageOf(e), "load"));
        return done(usageError(err, messageOf(e), chosen()));
    }
    h.kind = chosen();
    if (std::optional<std::string> fault = leftOver(app)) {
        if (loadCommand->parsed())
            return done(usageError(err, "load: " + *fault, "load"));
        return done(usageError(err, *fault, h.kind));
    }
    if (loadCommand->parsed()) {
        command.run = Run::Load;
    } else if (!h.kind.empty()) {
        command.run = Run::Host;
    } else {
        std::string error;
        if (!readFaults(app, faults, s.faults, s.shares, error))
            return done(usageError(err, error));
        command.run = Run::Serve;
    }
    return command;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Command command = parse(args, out, err);
    switch (command.run) {
        case Run::Load:
            return loadgen::runLoadCommand(command.load, out, err);
        case Run::Host:
            return sendToHost(command.host, out, err);
        case Run::Serve:
            return serve(command.serve, out, err);
        case Run::Done:
            break;
    }
    return command.status;
}

}  // namespace unitsim
