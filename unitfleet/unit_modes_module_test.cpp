// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/unit_modes_module.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

using nlohmann::json;

TEST(UnitModesArgs, TaskArgumentsAsAnsibleWritesThem) {
    std::string error;
    auto args = parseModuleArgs(
        json::parse(R"({"address": "127.0.0.5", "modes": {"POSTimeout": 20, "DHCP": true,
                        "TextReset": "Hi"}, "commit": "yes", "timeout": "2.5",
                        "_ansible_check_mode": true, "_ansible_diff": false,
                        "_ansible_verbosity": 0})"),
        error);
    ASSERT_TRUE(args) << error;
    EXPECT_EQ(args->address, "127.0.0.5");
    ASSERT_TRUE(args->modes);
    std::vector<ModeSetting> expected{
        {"DHCP", "TRUE", 0}, {"POSTimeout", "20", 0}, {"TextReset", "Hi", 0}};
    EXPECT_EQ(*args->modes, expected);
    EXPECT_TRUE(args->commit);
    EXPECT_FALSE(args->restart);
    EXPECT_DOUBLE_EQ(args->timeoutSeconds, 2.5);
    EXPECT_TRUE(args->checkMode);
    EXPECT_FALSE(args->diffMode);

    auto facts = parseModuleArgs(json::parse(R"({"address": "u1"})"), error);
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->modes);
}

TEST(UnitModesArgs, FaultsAreNamed) {
    struct Case {
        const char* args;
        const char* error;
    } cases[] = {
        {R"([1])", "the arguments file does not hold a JSON object"},
        {R"({"modes": {}})", "missing required argument: address"},
        {R"({"address": ""})", "address must be a non-empty string"},
        {R"({"address": "a", "modes": [1]})", "modes must be a mapping of mode names to values"},
        {R"({"address": "a", "modes": {"X": null}})",
         "the value of mode X must be a string, number or boolean"},
        {R"({"address": "a", "commit": "perhaps"})", "commit must be a boolean"},
        {R"({"address": "a", "timeout": 0})",
         "timeout must be a number of seconds from 0.1 to 3600"},
        {R"({"address": "a", "restart": true})",
         "restart needs commit: a restart drops uncommitted values"},
        {R"({"address": "a", "adress": "b"})", "unsupported parameter for unit_modes: adress"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseModuleArgs(json::parse(c.args), error)) << c.args;
        EXPECT_EQ(error, c.error) << c.args;
    }
}

TEST(UnitModesArgs, AnUnreadableArgumentsFileIsAFailedResult) {
    auto result = unitModesFromFile("/nonexistent/args");
    EXPECT_EQ(result["failed"], true);
    EXPECT_EQ(result["changed"], false);
    EXPECT_EQ(result["msg"], "cannot read the arguments file /nonexistent/args");
}

}  // namespace
}  // namespace unitfleet
