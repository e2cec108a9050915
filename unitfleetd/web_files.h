// SPDX-License-Identifier: Apache-2.0
// The console's pages, styles and scripts (unitfleetd/web/), compiled in by
// CMake so that the daemon fetches nothing at run time and a page always
// matches the program that serves it.
#pragma once

#include <cstddef>
#include <string_view>

namespace unitfleetd {

struct WebFile {
    std::string_view name;  // "fleet.html", "style.css", ...
    std::string_view body;
};

// Every file of unitfleetd/web/, sorted by name.
const WebFile* webFiles();
std::size_t webFileCount();

}  // namespace unitfleetd
