// SPDX-License-Identifier: Apache-2.0
#include "tests/tarnix/unit_fixture.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tarnix_test {

std::vector<unitsim::ModeDef> testModes() {
    return {
        {"UnitID", "STRING", 16, "Name of the unit", "Wistrel1", false},
        {"UnitStatus", "STRING", 32, "State", "Ready", true},
        {"POSTimeout", "INTEGER", 0, "Seconds", "30", false},
        {"TextReset", "BOOLEAN", 0, "Clear texts", "FALSE", false},
        {"ServerType", "STRING", 8, "Host protocol", "TCP", false},
        {"DateTime", "STRING", 20, "Clock", "2026-12-08 01:00", false},
        {"ProductName", "STRING", 20, "Product", "Unit 9000", true},
        {"buildInfo", "STRING", 40, "Build", "b1", true},
        {"Greeting", "STRING", 40, "Idle text", "Hello there", false},
    };
}

std::string modeLine(const std::string& name, const std::string& value, int width) {
    std::string line = name;
    if (line.size() < static_cast<std::size_t>(width))
        line.resize(width, ' ');
    return line + "= " + value + "\n";
}

std::vector<std::uint8_t> queryFrame(const std::string& text) {
    std::uint32_t length = static_cast<std::uint32_t>(text.size() + 9);
    std::string frame;
    for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>(length >> shift);
    frame += "MDSQ" + text;
    frame += '\0';
    return {frame.begin(), frame.end()};
}

Unwritable::Unwritable(std::string path) : path_(std::move(path)) {
    chmod(path_.c_str(), 0444);
    immutable_ = setImmutable(true);
}

Unwritable::~Unwritable() {
    if (immutable_)
        setImmutable(false);
    chmod(path_.c_str(), 0644);
}

bool Unwritable::effective() const {
    std::FILE* file = std::fopen(path_.c_str(), "r+");
    if (file)
        std::fclose(file);
    return file == nullptr;
}

bool Unwritable::setImmutable(bool on) {
    int fd = open(path_.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

void UnitFixture::SetUp() {
    dir_ = support::makeTempDir("tarnix");
}

unitsim::Unit& UnitFixture::startUnit(int host, std::vector<unitsim::ModeDef> modes,
                                      unitsim::Faults faults) {
    unitsim::Options options;
    options.address = address(host);
    options.modes = std::move(modes);
    options.faults = std::move(faults);
    auto unit = std::make_unique<unitsim::Unit>(std::move(options));
    std::string error;
    EXPECT_TRUE(unit->start(error)) << error;
    units_.push_back(std::move(unit));
    return *units_.back();
}

support::RunResult UnitFixture::tarnix(std::vector<std::string> args) {
    args.insert(args.begin(), TARNIX_BIN);
    support::RunOptions options;
    options.workingDirectory = dir_;
    return support::run(args, options);
}

void UnitFixture::writeIni(const std::string& content, const std::string& name) {
    support::writeFile(dir_ + "/" + name, content);
}

std::vector<std::string> UnitFixture::queries(const unitsim::Unit& unit) {
    std::vector<std::string> texts;
    for (const unitsim::Received& message : unit.received()) {
        EXPECT_TRUE(message.framed);
        if (message.bytes.size() < 9) {
            ADD_FAILURE() << "short message";
            continue;
        }
        std::string text(message.bytes.begin() + 8, message.bytes.end() - 1);
        EXPECT_EQ(message.bytes, queryFrame(text)) << text;
        texts.push_back(text);
    }
    return texts;
}

}  // namespace tarnix_test
