// SPDX-License-Identifier: Apache-2.0
// The route table: method and path pattern ("/api/v1/jobs/{id}") to a
// handler and the access it needs. The OpenAPI document is checked against
// routes() in the tests, so the two cannot drift apart.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "unitfleetd/accounts.h"
#include "unitfleetd/http_types.h"

namespace unitfleetd {

// What a handler gets: the request, who asks, the path's parameters, and
// what the audit log should say of it beyond method and path.
struct Call {
    HttpRequest request;
    std::optional<Principal> principal;
    std::map<std::string, std::string> params;
    std::string auditWho;   // defaults to the principal's name
    std::string auditNote;  // e.g. "job 7"
};

using RouteHandler = std::function<void(std::shared_ptr<Call>, Reply)>;

struct Route {
    std::string method;
    std::string pattern;
    std::optional<Role> needs;  // nothing: public
    RouteHandler handler;
};

struct RouteMatch {
    const Route* route = nullptr;  // null: no route for this method
    bool pathKnown = false;        // some route has this path (405 then)
    std::map<std::string, std::string> params;
};

class Router {
  public:
    void add(std::string method, std::string pattern, std::optional<Role> needs,
             RouteHandler handler);
    RouteMatch match(const std::string& method, const std::string& path) const;
    const std::vector<Route>& routes() const { return routes_; }

  private:
    std::vector<Route> routes_;
};

// Matches `path` against `pattern`; a {name} segment matches one non-empty
// segment, which goes to `params`.
bool matchPattern(const std::string& pattern, const std::string& path,
                  std::map<std::string, std::string>& params);

}  // namespace unitfleetd
