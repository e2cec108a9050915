// SPDX-License-Identifier: Apache-2.0
#include "tarnix/run.h"

#include <optional>
#include <string>

#include "protocol/modes.h"
#include "tarnix/ini.h"
#include "tarnix/report.h"
#include "tarnix/session.h"

namespace tarnix {

namespace {

using protocol::ModeRecord;
using protocol::ModeTable;

// The unit's address from the command line, else from the ini file's
// TargetIP entry. Nothing, after telling the user, when neither gives one.
std::optional<std::string> findTarget(const Settings& settings, Console console) {
    if (!settings.target.empty())
        return settings.target;
    std::optional<std::string> text = readIniText(settings.iniFile);
    if (!text) {
        say(console.err, "File %s could not be opened\n", settings.iniFile.c_str());
        printUsage(console.err);
        return std::nullopt;
    }
    std::optional<std::string> target = findTargetIp(*text);
    if (!target || target->empty()) {
        say(console.err, "\nNo target IPAddress specified.\n");
        say(console.err, "Please specify the Target IPAddress either on the command line,\n");
        say(console.err, "or in the .ini file, e.g. TargetIP=10.0.0.227 \n\n");
        printUsage(console.err);
        return std::nullopt;
    }
    return target;
}

Stop longName(Console console, const char* from, const std::string& name) {
    say(console.err, "Mode name %s is over %d characters: %.*s\n", from,
        static_cast<int>(kLongModeName), static_cast<int>(kLongModeName), name.c_str());
    return kExitFailure;
}

// Sends "*" and stores every listed value in `field`.
Stop readValues(Session& session, ModeTable& table, protocol::ValueField field, Console console,
                const char* from) {
    if (Stop stop = session.query("*"))
        return stop;
    if (auto name = table.fillValues(session.replyBody(), field, kNameLimits)) {
        return longName(console, from, *name);
    }
    return std::nullopt;
}

Stop readTable(Session& session, ModeTable& table, Console console) {
    for (const char* flag : {"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=FALSE"}) {
        if (Stop stop = session.query(flag))
            return stop;
    }
    if (Stop stop = session.query(""))
        return stop;
    table.parseDefinitions(session.replyBody(), kNameLimits);
    return readValues(session, table, &ModeRecord::nvram, console, "from unit");
}

Stop setFromIni(Session& session, ModeTable& table, const Settings& settings, Console console) {
    if (std::optional<std::string> text = readIniText(settings.iniFile)) {
        if (auto name = applyIniValues(table, *text))
            return longName(console, "in ini file", *name);
    } else {
        // Without the file there is nothing to set; the run still reports
        // the unit's values.
        say(console.err, "File %s could not be opened\n", settings.iniFile.c_str());
    }
    SetPlan plan = planSets(table);
    for (const std::string& line : plan.lines) {
        if (Stop stop = session.query(line))
            return stop;
    }
    for (const auto& deferred : {plan.textReset, plan.serverType}) {
        if (!deferred)
            continue;
        if (Stop stop = session.query(*deferred))
            return stop;
    }
    return readValues(session, table, &ModeRecord::newValue, console, "from device");
}

Stop listAndSet(Session& session, const Settings& settings, const std::string& target,
                Console console) {
    ModeTable table;
    if (Stop stop = readTable(session, table, console))
        return stop;
    if (settings.setFromIni) {
        if (Stop stop = setFromIni(session, table, settings, console))
            return stop;
    }
    printReport(console.out, table,
                {settings.verbose, settings.setFromIni, target, settings.iniFile});
    if (settings.commit) {
        if (Stop stop = session.query("COMMIT=TRUE"))
            return stop;
    }
    if (settings.restart)
        return session.send("RESTART=TRUE");
    return std::nullopt;
}

Stop getOne(Session& session, const Settings& settings, Console console) {
    if (Stop stop = session.query("ForceResponse=TRUE"))
        return stop;
    if (Stop stop = session.query(settings.getText))
        return stop;
    std::string_view body = session.replyBody();
    say(console.out, "%.*s", static_cast<int>(body.size()), body.data());
    return std::nullopt;
}

Stop act(Session& session, const Settings& settings, const std::string& target, Console console) {
    if (!settings.literal.empty())
        return session.sendLiteral(settings.literal);
    if (!settings.setText.empty())
        return session.send(settings.setText);
    if (!settings.getText.empty())
        return getOne(session, settings, console);
    return listAndSet(session, settings, target, console);
}

}  // namespace

int run(const Settings& settings, Console console) {
    if (settings.showUsage) {
        printUsage(console.err);
        return 0;
    }
    std::optional<std::string> target = findTarget(settings, console);
    if (!target)
        return 0;
    Session session(console, settings.verbose, settings.replyTimeout);
    if (Stop stop = session.connect(*target))
        return *stop;
    if (Stop stop = act(session, settings, *target, console))
        return *stop;
    return 0;
}

}  // namespace tarnix
