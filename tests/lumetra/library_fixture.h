// SPDX-License-Identifier: Apache-2.0
// Shared set-up of the library's tests: the library's state is per process,
// so every test starts from a closed connection and a short reply wait.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "lumetra/lumetra.h"
#include "lumetra/session.h"
#include "tests/support/scripted_unit.h"

namespace lumetra_test {

using namespace support;

// Takes a string result, frees it and returns its text ("<null>" for NULL).
inline std::string take(LumetraString s) {
    if (s == nullptr)
        return "<null>";
    std::string text(s, LumetraStringByteLen(s));
    LumetraFreeString(s);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

inline std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// Answers like a unit: MODR for every query (definitions, values, "name=x"
// for a one-mode query and "OK" for set lines); nothing for other frames.
struct UnitScript {
    std::string definitions;  // reply to the empty query
    std::string values;       // reply to "*"

    Bytes operator()(const Bytes& frame) const {
        if (codeAt(frame, 4) != "MDSQ")
            return {};
        std::string query = queryText(frame);
        if (query.empty())
            return modeReply(definitions);
        if (query == "*")
            return modeReply(values);
        if (query == "RESTART=TRUE")
            return {};
        if (query.find('=') != std::string::npos)
            return modeReply("OK");
        return modeReply(query + "=x");
    }
};

// Definitions and values of a small unit used by most tests.
inline UnitScript smallUnit() {
    return {
        "UnitID = STRING,16 Name of the unit\r\n"
        "POSTimeout = INTEGER\tSeconds before a sale is dropped\r\n"
        "TextReset = BOOLEAN\r\n"
        "ProductName = STRING, 32\r\n",
        "UnitID = Till 4   \r\nPOSTimeout = 10\t\r\nTextReset = TRUE\r\nUnknown = 1\r\n"};
}

class LibraryTest : public testing::Test {
  protected:
    void SetUp() override {
        uxClose();
        lumetra::session().setTimeouts(std::chrono::milliseconds(400),
                                       std::chrono::milliseconds(400));
    }
    void TearDown() override {
        uxClose();
        lumetra::session().setTimeouts(lumetra::kReceiveTimeout, lumetra::kSendTimeout);
    }
};

}  // namespace lumetra_test
