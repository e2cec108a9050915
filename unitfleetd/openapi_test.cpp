// SPDX-License-Identifier: Apache-2.0
// The OpenAPI document against the route table the server really has.
#include "unitfleetd/openapi.h"

#include <set>

#include "unitfleetd/api_fixture.h"

namespace unitfleetd::testing {
namespace {

using nlohmann::json;

// Every "$ref" in `node` names something that exists in `doc`.
void checkRefs(const json& doc, const json& node, const std::string& where) {
    if (node.is_object()) {
        for (auto& [key, value] : node.items()) {
            if (key == "$ref") {
                ASSERT_TRUE(value.is_string()) << where;
                auto ref = value.get<std::string>();
                ASSERT_EQ(ref.rfind("#/", 0), 0u) << ref;
                EXPECT_TRUE(doc.contains(json::json_pointer(ref.substr(1))))
                    << where << ": " << ref;
            } else {
                checkRefs(doc, value, where + "/" + key);
            }
        }
    } else if (node.is_array()) {
        for (const auto& item : node) checkRefs(doc, item, where);
    }
}

TEST(OpenApi, IsAnOpenApi3DocumentWhoseReferencesResolve) {
    auto doc = json::parse(openApiText(), nullptr, false);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(doc["openapi"].get<std::string>().rfind("3.", 0), 0u);
    EXPECT_TRUE(doc["info"].contains("title"));
    EXPECT_TRUE(doc["info"].contains("version"));
    checkRefs(doc, doc, "");
    std::set<std::string> operationIds;
    for (auto& [path, item] : doc["paths"].items()) {
        EXPECT_EQ(path[0], '/');
        for (auto& [method, op] : item.items()) {
            SCOPED_TRACE(method + " " + path);
            EXPECT_TRUE(operationIds.insert(op["operationId"].get<std::string>()).second);
            ASSERT_TRUE(op.contains("responses"));
            EXPECT_FALSE(op["responses"].empty());
            for (auto& [code, response] : op["responses"].items())
                EXPECT_TRUE(response.contains("description") || response.contains("$ref"));
            // Each {name} of the path is a declared path parameter.
            std::set<std::string> declared;
            for (auto& p : op.value("parameters", json::array()))
                if (p["in"] == "path") {
                    EXPECT_TRUE(p["required"].get<bool>());
                    declared.insert(p["name"].get<std::string>());
                }
            std::set<std::string> inPath;
            for (std::size_t i = path.find('{'); i != std::string::npos; i = path.find('{', i + 1))
                inPath.insert(path.substr(i + 1, path.find('}', i) - i - 1));
            EXPECT_EQ(declared, inPath);
        }
    }
}

class OpenApiRoutes : public DaemonFixture {};

TEST_F(OpenApiRoutes, DescribeExactlyTheRoutesTheServerHas) {
    startDaemon();
    auto token = addToken("viewer", Role::Viewer);
    auto served = tokenCall(token, "GET", "/api/v1/openapi.json");
    ASSERT_EQ(served->status, 200);
    auto doc = json::parse(served->body);
    std::set<std::string> documented, registered;
    for (auto& [path, item] : doc["paths"].items())
        for (auto& [method, op] : item.items()) {
            std::string upper = method;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            documented.insert(upper + " " + path);
        }
    for (const auto& route : daemon->api().router().routes())
        registered.insert(route.method + " " + route.pattern);
    EXPECT_EQ(documented, registered);
    // The public ones say so.
    EXPECT_EQ(doc["paths"]["/healthz"]["get"]["security"], json::array());
    EXPECT_EQ(doc["paths"]["/api/v1/login"]["post"]["security"], json::array());
}

}  // namespace
}  // namespace unitfleetd::testing
