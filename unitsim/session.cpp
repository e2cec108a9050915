// SPDX-License-Identifier: Apache-2.0
#include "unitsim/session.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "protocol/text.h"
#include "unitsim/modefile.h"

namespace unitsim {

namespace {

using protocol::equalsIgnoreCase;

std::string_view trimBoth(std::string_view text) {
    while (!text.empty() && protocol::isWhite(text.front())) text.remove_prefix(1);
    return protocol::trimRight(text);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return out;
}

// The connection flag a Force name (or the mode of that name) stands for.
bool* forceFlag(std::string_view name, SessionFlags& flags) {
    if (equalsIgnoreCase(name, "ForceResponse"))
        return &flags.forceResponse;
    if (equalsIgnoreCase(name, "ForceError"))
        return &flags.forceError;
    if (equalsIgnoreCase(name, "ForceHelpText"))
        return &flags.forceHelpText;
    return nullptr;
}

const char* boolText(bool value) {
    return value ? "TRUE" : "FALSE";
}

Answer accepted(const SessionFlags& flags, std::string text) {
    Answer answer;
    answer.reply = flags.forceResponse;
    answer.text = std::move(text);
    return answer;
}

// Errors are always answered: as ERR_ while ForceError is TRUE, else as MODR
// carrying the same text, so a client that asked for no error reports still
// learns why.
Answer refused(const SessionFlags& flags, std::string text) {
    Answer answer;
    answer.reply = true;
    answer.type =
        flags.forceError ? protocol::FrameType::ErrReport : protocol::FrameType::ModeResponse;
    answer.text = std::move(text);
    return answer;
}

Answer valueReply(std::string text) {
    Answer answer;
    answer.reply = true;
    answer.text = std::move(text);
    return answer;
}

// A unit's answer lines end in CR LF, a single value's line as well as every
// line of a listing.
Answer valueLineReply(std::string_view name, std::string_view value) {
    std::string line;
    line.reserve(name.size() + value.size() + 5);
    line.append(name).append(" = ").append(value).append("\r\n");
    return valueReply(std::move(line));
}

std::string definitionLines(const ModeStore& store, bool withHelp) {
    std::string out;
    for (std::size_t i = 0; i < store.size(); ++i) {
        const ModeDef& def = store[static_cast<int>(i)];
        out += def.name + " = " + def.type;
        if (def.size > 0 && equalsIgnoreCase(def.type, "STRING"))
            out += "," + std::to_string(def.size);
        if (withHelp && !def.help.empty())
            out += "\t" + def.help;
        out += "\r\n";
    }
    return out;
}

std::string readValue(int index, ModeStore& store, SessionFlags& flags, const Faults& faults) {
    if (bool* flag = forceFlag(store[index].name, flags))
        return boolText(*flag);
    return store.read(index, faults.driftingMode);
}

std::string valueLines(ModeStore& store, SessionFlags& flags, const Faults& faults) {
    std::string out;
    for (std::size_t i = 0; i < store.size(); ++i) {
        int index = static_cast<int>(i);
        out += store[index].name + " = " + readValue(index, store, flags, faults) + "\r\n";
    }
    return out;
}

bool parseBool(std::string_view value, bool& out) {
    if (equalsIgnoreCase(value, "TRUE"))
        return out = true, true;
    if (equalsIgnoreCase(value, "FALSE"))
        return out = false, true;
    return false;
}

bool isRefused(std::string_view name, const Faults& faults) {
    return std::any_of(faults.refusedModes.begin(), faults.refusedModes.end(),
                       [&](const std::string& m) { return equalsIgnoreCase(m, name); });
}

Answer setFlag(std::string_view name, std::string_view value, bool& flag, SessionFlags& flags) {
    bool parsed = false;
    if (!parseBool(value, parsed))
        return refused(
            flags, std::string(name) + " takes TRUE or FALSE, not '" + std::string(value) + "'");
    flag = parsed;
    return accepted(flags, std::string(name) + " = " + boolText(parsed));
}

Answer setMode(std::string_view name, std::string_view value, ModeStore& store, SessionFlags& flags,
               const Faults& faults) {
    if (bool* flag = forceFlag(name, flags))
        return setFlag(name, value, *flag, flags);
    bool on = false;
    if (equalsIgnoreCase(name, "Commit")) {
        if (!parseBool(value, on))
            return refused(flags, "Commit takes TRUE or FALSE");
        if (on)
            store.commit();
        return accepted(flags, std::string(name) + " = " + upper(value));
    }
    if (equalsIgnoreCase(name, "Restart")) {
        if (!parseBool(value, on))
            return refused(flags, "Restart takes TRUE or FALSE");
        if (!on)
            return accepted(flags, std::string(name) + " = FALSE");
        Answer answer;
        answer.restart = true;
        return answer;
    }
    int index = store.find(name);
    if (index < 0)
        return refused(flags, "Unknown mode: " + std::string(name));
    const ModeDef& def = store[index];
    if (def.readOnly)
        return refused(flags, "Mode " + def.name + " is read-only");
    if (def.size > 0 && value.size() > static_cast<std::size_t>(def.size)) {
        return refused(flags, "Value for " + def.name + " has " + std::to_string(value.size()) +
                                  " characters; at most " + std::to_string(def.size) + " allowed");
    }
    if (isRefused(def.name, faults))
        return refused(flags, "Mode " + def.name + " refused the value");
    store.set(index, std::string(value));
    return accepted(flags, def.name + " = " + std::string(value));
}

// Which identity mode `def` is, if any.
std::optional<IdentityMode> identityModeOf(const ModeDef& def) {
    for (int mode = 0; mode < 3; ++mode) {
        if (equalsIgnoreCase(def.name, kIdentityModes[mode]))
            return static_cast<IdentityMode>(mode);
    }
    return std::nullopt;
}

}  // namespace

ModeStore::ModeStore(Table modes) : ModeStore(std::make_shared<const Table>(std::move(modes))) {}

ModeStore::ModeStore(std::shared_ptr<const Table> modes, UnitIdentity identity)
    : current_(std::move(modes)), committed_(current_) {
    if (!identity)
        return;
    base_ = current_.get();
    identity_ = std::move(identity);
}

std::string ModeStore::valueIn(const Table& table, int index) const {
    if (&table == base_) {
        if (std::optional<IdentityMode> mode = identityModeOf(table[index]))
            return identityValue(identity_, *mode);
    }
    return table[index].value;
}

int ModeStore::find(std::string_view name) const {
    return findModeDef(*current_, name);
}

ModeStore::Table& ModeStore::own() {
    if (!owned_ || owned_ != current_ || current_.use_count() > 2) {
        owned_ = std::make_shared<Table>(*current_);
        if (current_.get() == base_) {
            for (ModeDef& def : *owned_) {
                if (std::optional<IdentityMode> mode = identityModeOf(def))
                    def.value = identityValue(identity_, *mode);
            }
        }
        current_ = owned_;
    }
    return *owned_;
}

std::string ModeStore::read(int index, std::string_view driftingMode) {
    std::string reported = value(index);
    if (driftingMode.empty() || !equalsIgnoreCase((*current_)[index].name, driftingMode))
        return reported;
    ModeDef& def = own()[index];
    // A number counts up; any other value gets a changing suffix after '~'.
    long long number = 0;
    const char* begin = def.value.data();
    const char* end = begin + def.value.size();
    auto [ptr, ec] = std::from_chars(begin, end, number);
    if (!def.value.empty() && ec == std::errc() && ptr == end) {
        def.value = std::to_string(number + 1);
    } else {
        std::size_t tilde = def.value.rfind('~');
        std::string base = def.value.substr(0, tilde);
        int count = 0;
        if (tilde != std::string::npos)
            count = std::atoi(def.value.c_str() + tilde + 1);
        def.value = base + "~" + std::to_string(count + 1);
        if (def.size > 0 && def.value.size() > static_cast<std::size_t>(def.size))
            def.value = "~" + std::to_string(count + 1);
    }
    return reported;
}

Answer answerQuery(std::string_view query, ModeStore& store, SessionFlags& flags,
                   const Faults& faults) {
    std::size_t equals = query.find('=');
    if (equals != std::string_view::npos) {
        std::string_view name = trimBoth(query.substr(0, equals));
        std::string_view value = trimBoth(query.substr(equals + 1));
        if (name.empty())
            return refused(flags, "Set line without a mode name");
        return setMode(name, value, store, flags, faults);
    }
    std::string_view name = trimBoth(query);
    if (name.empty())
        return valueReply(definitionLines(store, flags.forceHelpText));
    if (name == "*")
        return valueReply(valueLines(store, flags, faults));
    int index = store.find(name);
    if (index < 0) {
        if (bool* flag = forceFlag(name, flags))
            return valueLineReply(name, boolText(*flag));
        return refused(flags, "Unknown mode: " + std::string(name));
    }
    return valueLineReply(store[index].name, readValue(index, store, flags, faults));
}

}  // namespace unitsim
