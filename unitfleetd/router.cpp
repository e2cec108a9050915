// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/router.h"

#include <string_view>

namespace unitfleetd {
namespace {

std::vector<std::string_view> segments(std::string_view path) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string_view::npos)
            slash = path.size();
        out.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

}  // namespace

bool matchPattern(const std::string& pattern, const std::string& path,
                  std::map<std::string, std::string>& params) {
    auto want = segments(pattern), have = segments(path);
    if (want.size() != have.size())
        return false;
    std::map<std::string, std::string> found;
    for (std::size_t i = 0; i < want.size(); ++i) {
        auto w = want[i];
        if (w.size() > 2 && w.front() == '{' && w.back() == '}') {
            if (have[i].empty())
                return false;
            found[std::string(w.substr(1, w.size() - 2))] = std::string(have[i]);
        } else if (w != have[i]) {
            return false;
        }
    }
    params = std::move(found);
    return true;
}

void Router::add(std::string method, std::string pattern, std::optional<Role> needs,
                 RouteHandler handler) {
    routes_.push_back({std::move(method), std::move(pattern), needs, std::move(handler)});
}

RouteMatch Router::match(const std::string& method, const std::string& path) const {
    RouteMatch result;
    for (const auto& route : routes_) {
        std::map<std::string, std::string> params;
        if (!matchPattern(route.pattern, path, params))
            continue;
        result.pathKnown = true;
        if (route.method == method || (method == "HEAD" && route.method == "GET")) {
            result.route = &route;
            result.params = std::move(params);
            return result;
        }
    }
    return result;
}

}  // namespace unitfleetd
