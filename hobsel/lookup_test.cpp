// SPDX-License-Identifier: Apache-2.0
#include "hobsel/lookup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "hobsel/data_file.h"
#include "tests/support/process.h"

namespace hobsel {
namespace {

TEST(DataLines, PiecesTrimmingAndTheLastLine) {
    std::string longLine(600, 'a');
    std::string content = "k\tv \r\n\n \tskipped\n\tskipped\n" + longLine + "\nlast\tno feed";
    auto lines = dataLines(content);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "k\tv");
    EXPECT_EQ(lines[1], std::string(511, 'a'));
    EXPECT_EQ(lines[2], std::string(89, 'a'));
    EXPECT_EQ(lines[3], "last\tno feed");
    std::string withZero("a\tb\0c\n", 6);
    EXPECT_EQ(dataLines(withZero), std::vector<std::string_view>{"a\tb"});
}

TEST(KeyTemplate, OnlyIntegerConversionsAreFilled) {
    const struct {
        const char* pattern;
        std::string out;
    } cases[] = {
        {"key %c", "key A"},
        {"%02X/%c", "41/A"},
        {"%-4d|%5.3x|%o", "65  |  041|%o"},  // a third conversion stays text
        {"100%% %s %n %p %*d", "100% %s %n %p %*d"},
        {"%99999d", "%99999d"},
        {"%ld %hhx", "65 41"},
        {"end %", "end %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fillKeyTemplate(c.pattern, 'A', 8192), c.out) << c.pattern;
    EXPECT_EQ(fillKeyTemplate("%9999d", 7, 20).size(), 19u);
    EXPECT_EQ(fillKeyTemplate("a%cb", 0, 100), "a");
}

TEST(Rectangle, CellsAndRanges) {
    auto r = readRectangle("a0-C3 text");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->second, 5u);
    EXPECT_TRUE(r->first.contains(2, 3));
    EXPECT_FALSE(r->first.contains(3, 0));
    auto cell = readRectangle("F7");
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->first.contains(5, 7));
    for (const char* bad : {"G0", "A8", "A0-", "A0-Z1", "A0x", ""})
        EXPECT_FALSE(readRectangle(bad)) << bad;
}

TEST(EventCodes, TouchAndEventKeysAreNeverResponses) {
    for (const char* yes : {"T-x", "EV6", "EV6A", "EV", "EV50312"})
        EXPECT_TRUE(isEventCode(yes)) << yes;
    for (const char* no : {"EV1-B", "EVX-", "T", "E", "text"}) EXPECT_FALSE(isEventCode(no)) << no;
}

class Lookup : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = support::makeTempDir("hobsel-lookup");
        context_.settings.dataFile = dir_ + "/data.dat";
        context_.out = std::tmpfile();
        context_.clock = [this] { return now_; };
    }
    void TearDown() override { std::fclose(context_.out); }
    void data(const std::string& text) { support::writeFile(context_.settings.dataFile, text); }
    std::string find(const std::string& key, bool history = true, std::size_t capacity = 8180) {
        std::string out(capacity, 'z');
        int n = lookupRecord(context_, key, out.data(), capacity, history);
        std::string text = out.c_str();
        EXPECT_EQ(n, text.empty() ? 0 : int(text.size()) + 1 + (text.rfind("|>", 0) == 0));
        return text;
    }
    std::string dir_;
    std::time_t now_ = 1000;
    Context context_;
};

TEST_F(Lookup, NumberedResponsesAndTheThreshold) {
    data("K\tR\nK\t#2#S\nK\t#3#T\n");
    for (const char* expected : {"R", "S", "T", "R"}) EXPECT_EQ(find("K"), expected);
    now_ += 10;  // exactly the threshold: still a follow-up
    EXPECT_EQ(find("K"), "R");
    EXPECT_EQ(context_.history.scanCount, 5);
    now_ += 11;
    EXPECT_EQ(find("K"), "R");
    EXPECT_EQ(context_.history.scanCount, 1);
    EXPECT_EQ(find("K", false), "R");  // without history the count stays
    EXPECT_EQ(context_.history.scanCount, 1);
}

TEST_F(Lookup, EventKeysLeaveTheHistoryAlone) {
    data("B\tb\nEV1\tbutton\nEV6\tkey %c\n");
    EXPECT_EQ(find("B"), "b");
    context_.printArmed = false;
    context_.keyCode = 'Q';
    EXPECT_EQ(find("EV1"), "button");
    EXPECT_EQ(find("EV6"), "key Q");
    EXPECT_EQ(context_.history.lastBarcode, "B");
    EXPECT_EQ(context_.history.scanCount, 1);
    EXPECT_FALSE(context_.printArmed);
    EXPECT_EQ(find("C"), "");
    EXPECT_TRUE(context_.printArmed);  // a new barcode re-arms printing
}

TEST_F(Lookup, TouchRecordsMatchTheirRectangle) {
    data("T-B\tA0-B1 left\nT-B\tc2 right\nT-B\tD3\nT-B\tzz bad\n");
    context_.touchPoint = {1, 1};
    EXPECT_EQ(find("T-B", false), "left");
    context_.touchPoint = {2, 2};
    EXPECT_EQ(find("T-B", false), "right");
    context_.touchPoint = {3, 3};  // a rectangle with nothing after it is passed over
    EXPECT_EQ(find("T-B", false), "");
}

TEST_F(Lookup, LimitsOfKeysAndOutput) {
    std::string key126(126, 'k'), key127(127, 'k');
    data(key126 + "\tfits\n" + key127 + "\ttoo long\nW\t" + std::string(500, 'w') + "\n");
    EXPECT_EQ(find(key126 + " \t"), "fits");
    EXPECT_EQ(find(key127), "");
    EXPECT_EQ(find("W", true, 10), std::string(9, 'w'));
    EXPECT_EQ(find(" \t"), "");
    context_.settings.dataFile.clear();
    EXPECT_EQ(find("W"), "");
    context_.settings.dataFile = dir_ + "/missing.dat";
    EXPECT_EQ(find("W"), "");
}

TEST_F(Lookup, DoubleByteRecordsKeepRoomForTheirSecondZero) {
    data("D\t|>abcdef\n");
    std::string out(6, 'z');
    EXPECT_EQ(lookupRecord(context_, "D", out.data(), out.size(), true), 6);
    EXPECT_EQ(out, std::string("|>ab\0\0", 6));
}

TEST_F(Lookup, TraceAtVerbosityTwo) {
    data("K\tR\nK\t#2#S\nK\t##\nK\t#x\nK\tEV6\n");
    context_.settings.verbosity = 2;
    std::rewind(context_.out);
    EXPECT_EQ(find("K"), "#x");
    long size = std::ftell(context_.out);
    std::string trace(size, '\0');
    std::rewind(context_.out);
    ASSERT_EQ(std::fread(trace.data(), 1, size, context_.out), std::size_t(size));
    EXPECT_EQ(trace,
              "barcode is not a match.\nthreshhold exceeded.\nclear history\n"
              "New barcode [K] at 1000.\n"
              "Checking record [R].\nToo small.\nrecordHistory\nSave data: [R]\n"
              "Checking record [#2#S].\n"
              "Checking record [##].\nStarts with ##.\nrecordHistory\nSave data: [#]\n"
              "Checking record [#x].\nNo number terminator.\nrecordHistory\nSave data: [#x]\n"
              "Checking record [EV6].\nNot numbered.\nrecordHistory\n"
              "Data Record [#x]\n");
}

// The data file is held in memory only while the file on disk is unchanged:
// even an edit that keeps the size and puts the old modification time back
// is seen by the next look-up.
TEST_F(Lookup, CachedDataFileFollowsEveryEdit) {
    namespace fs = std::filesystem;
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    data("A\tone\n");
    fs::last_write_time(context_.settings.dataFile, old);
    now_ = std::time(nullptr);
    EXPECT_EQ(find("A"), "one");
    EXPECT_EQ(find("A"), "one");
    data("A\ttwo\n");
    fs::last_write_time(context_.settings.dataFile, old);
    EXPECT_EQ(find("A"), "two");
    fs::rename(context_.settings.dataFile, context_.settings.dataFile + ".old");
    EXPECT_EQ(find("A"), "");
}

// A fresh edit is read again at every look-up (its stamp cannot be trusted
// yet) but parsed only once; a file too large to hold is read line by line.
TEST_F(Lookup, AnEditIsParsedOnceAndLargeFilesAreStreamed) {
    data("A\tone\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(find("A"), "one");
    data("A\ttwo\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(find("A"), "two");
    EXPECT_EQ(context_.dataCache->parses(), 2u);

    std::string big;
    for (int i = 0; i < 1000; ++i)
        big += "K" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
    data(big + "T\tfirst\nT\tlast\n");
    DataFileCache small;
    small.setMostCachedBytes(1000);
    ASSERT_TRUE(small.refresh(context_.settings.dataFile));
    std::vector<std::string> found;
    small.forEachResponse("T", [&](std::string_view r) { found.emplace_back(r); });
    EXPECT_EQ(found, (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(small.memoryBytes(), 0u);
}

}  // namespace
}  // namespace hobsel
