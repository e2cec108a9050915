// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/jobs_fixture.h"

#include <unistd.h>

#include <sstream>

#include "tests/support/process.h"

namespace unitfleetd::testing {

using nlohmann::json;

void JobsFixture::TearDown() {
    DaemonFixture::TearDown();
    units.reset();
}

std::string JobsFixture::unitAddress(int i) const {
    int block = static_cast<int>(getpid()) % 250;
    return "127.38." + std::to_string(block) + "." + std::to_string(i + 1);
}

void JobsFixture::startUnits(int count, std::function<void(int, unitsim::Options&)> adjust,
                             const std::string& extra) {
    std::vector<unitsim::Options> list;
    inventoryText.clear();
    for (int i = 0; i < count; ++i) {
        unitsim::Options o;
        o.address = unitAddress(i);
        if (adjust)
            adjust(i, o);
        list.push_back(std::move(o));
        inventoryText +=
            unitAddress(i) + " " + unitName(i) + " fleet " + (i % 2 == 0 ? "even" : "odd") + "\n";
    }
    inventoryText += extra;
    std::string error;
    units = unitsim::UnitGroup::start(std::move(list), error);
    ASSERT_TRUE(units) << error;
}

void JobsFixture::startWithCore(const std::string& configExtra) {
    startDaemon(configExtra);
    ASSERT_TRUE(daemon);
    daemon->setRunner(&daemon->coreRunner());
}

std::int64_t JobsFixture::startJob(const std::string& token, const json& body) {
    auto a = tokenCall(token, "POST", "/api/v1/jobs", body.dump());
    EXPECT_TRUE(a);
    if (!a)
        return 0;
    EXPECT_EQ(a->status, 201) << a->body;
    if (a->status != 201)
        return 0;
    return json::parse(a->body)["id"].get<std::int64_t>();
}

std::vector<std::string> JobsFixture::gitLog(const std::string& dir) {
    auto r = support::run({"/usr/bin/git", "-C", dir, "log", "--format=%an|%cn|%s"});
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string JobsFixture::getText(const std::string& token, const std::string& target, int status) {
    auto a = tokenCall(token, "GET", target);
    EXPECT_TRUE(a);
    if (!a)
        return {};
    EXPECT_EQ(a->status, status) << target << ": " << a->body;
    return a->body;
}

}  // namespace unitfleetd::testing
