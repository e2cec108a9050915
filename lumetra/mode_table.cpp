// SPDX-License-Identifier: Apache-2.0
#include "lumetra/mode_table.h"

#include <algorithm>
#include <string>

#include "lumetra/lumetra.h"
#include "lumetra/result_string.h"
#include "lumetra/session.h"
#include "protocol/text.h"

namespace lumetra {

using protocol::ReplyStatus;

LibraryModes& modes() {
    static LibraryModes instance;
    return instance;
}

namespace {

// Sends a query and reads its reply.
ReplyStatus ask(std::string_view query) {
    Session& s = session();
    if (!s.sendQuery(query))
        return ReplyStatus::Failed;
    return s.receiveReply();
}

const protocol::ModeRecord* lookUp(const char* name) {
    if (name == nullptr)
        return nullptr;
    const protocol::ModeTable& table = modes().table;
    int i = table.findMode(name);
    return i < 0 ? nullptr : &table[static_cast<std::size_t>(i)];
}

LumetraString result(std::string_view text) {
    return makeResultString(protocol::cut(text, kResultLimit));
}

template <typename Field>
LumetraString fieldOf(const char* name, Field field) {
    return guarded<LumetraString>(nullptr, [&] {
        const protocol::ModeRecord* record = lookUp(name);
        return result(record != nullptr ? field(*record) : std::string_view{});
    });
}

LumetraString nameAt(int index) {
    const protocol::ModeTable& table = modes().table;
    if (index < 0 || static_cast<std::size_t>(index) >= table.count())
        return result({});
    return result(table[static_cast<std::size_t>(index)].name);
}

}  // namespace

bool sendForceLines() {
    for (std::string_view line : {"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=TRUE"}) {
        if (ask(line) == ReplyStatus::Failed)
            return false;
    }
    return true;
}

std::optional<std::size_t> readModeTable() {
    LibraryModes& m = modes();
    m.table.clear();
    m.cursor = 0;
    if (!sendForceLines())
        return std::nullopt;
    ReplyStatus definitions = ask("");
    if (definitions == ReplyStatus::Failed)
        return std::nullopt;
    // A refusal's text is no list of modes.
    if (definitions == ReplyStatus::Reply)
        m.table.parseDefinitions(session().replyText());
    ReplyStatus values = ask("*");
    if (values == ReplyStatus::Failed) {
        m.table.clear();
        return std::nullopt;
    }
    if (values == ReplyStatus::Reply) {
        m.table.fillValues(session().replyText(), &protocol::ModeRecord::nvram);
    }
    return m.table.count();
}

}  // namespace lumetra

using lumetra::guarded;

extern "C" {

LUMETRA_API LumetraString LUMETRA_CALL GetMode(const char* modeName) {
    return guarded<LumetraString>(nullptr, [&] {
        lumetra::Session& s = lumetra::session();
        if (modeName == nullptr || !s.isOpen())
            return lumetra::result({});
        if (lumetra::ask(modeName) != lumetra::ReplyStatus::Reply)
            return lumetra::result({});
        std::string value(
            protocol::cut(protocol::oneModeValue(s.replyText()), lumetra::kResultLimit));
        protocol::trimRight(value);
        return lumetra::result(value);
    });
}

LUMETRA_API int16_t LUMETRA_CALL GetModeSize(const char* modeName) {
    return guarded<int16_t>(0, [&] {
        const protocol::ModeRecord* record = lumetra::lookUp(modeName);
        return static_cast<int16_t>(record != nullptr ? record->size : 0);
    });
}

LUMETRA_API LumetraString LUMETRA_CALL GetModeType(const char* modeName) {
    return lumetra::fieldOf(
        modeName, [](const protocol::ModeRecord& r) -> std::string_view { return r.type; });
}

LUMETRA_API LumetraString LUMETRA_CALL GetModeHelp(const char* modeName) {
    return lumetra::fieldOf(
        modeName, [](const protocol::ModeRecord& r) -> std::string_view { return r.help; });
}

LUMETRA_API LumetraString LUMETRA_CALL GetNVRamMode(const char* modeName) {
    return lumetra::fieldOf(modeName, [](const protocol::ModeRecord& r) -> std::string_view {
        return r.nvram ? std::string_view(*r.nvram) : std::string_view{};
    });
}

LUMETRA_API LumetraString LUMETRA_CALL GetFirstModeName(void) {
    return guarded<LumetraString>(nullptr, [] {
        lumetra::modes().cursor = 0;
        return lumetra::nameAt(0);
    });
}

LUMETRA_API LumetraString LUMETRA_CALL GetNextModeName(void) {
    return guarded<LumetraString>(nullptr, [] {
        lumetra::LibraryModes& m = lumetra::modes();
        // The cursor stops at the end, so every call after the last name
        // stays empty however many follow.
        int count = static_cast<int>(m.table.count());
        m.cursor = std::min(m.cursor + 1, count);
        return lumetra::nameAt(m.cursor);
    });
}

}  // extern "C"
