// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/web_pages.h"

#include <algorithm>
#include <array>

#include "unitfleetd/json_answer.h"
#include "unitfleetd/web_files.h"

namespace unitfleetd {
namespace {

// What the sign-in page needs before anyone has signed in.
constexpr std::array<std::string_view, 4> kPublic = {"login.html", "style.css", "common.js",
                                                     "login.js"};

const WebFile* findFile(std::string_view name) {
    const WebFile* first = webFiles();
    const WebFile* last = first + webFileCount();
    auto it = std::find_if(first, last, [&](const WebFile& f) { return f.name == name; });
    return it == last ? nullptr : it;
}

std::string_view extension(std::string_view name) {
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string contentType(std::string_view name) {
    auto ext = extension(name);
    if (ext == "html")
        return "text/html; charset=utf-8";
    if (ext == "css")
        return "text/css; charset=utf-8";
    if (ext == "js")
        return "text/javascript; charset=utf-8";
    if (ext == "svg")
        return "image/svg+xml";
    return "application/octet-stream";
}

// A file name as it may appear after /static/: letters, digits, '-', '_'
// and one dot; nothing that could climb out of the folder (and the folder
// is compiled in anyway).
bool plainName(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

}  // namespace

std::optional<std::string> webFileFor(const std::string& path) {
    std::string file;
    if (path == "/")
        file = "fleet.html";
    else if (path.rfind("/static/", 0) == 0 && extension(path) != "html")
        file = path.substr(8);
    else if (path.size() > 1 && path.find('/', 1) == std::string::npos && extension(path).empty())
        file = path.substr(1) + ".html";
    else
        return std::nullopt;
    if (!plainName(file) || findFile(file) == nullptr)
        return std::nullopt;
    return file;
}

HttpResponse webAnswer(const std::string& file, bool signedIn) {
    const WebFile* found = findFile(file);
    bool isPublic = std::find(kPublic.begin(), kPublic.end(), file) != kPublic.end();
    if (found == nullptr)
        return errorAnswer(404, "no such page");
    if (!isPublic && !signedIn) {
        if (extension(file) != "html")
            return errorAnswer(401, "log in first");
        HttpResponse r;
        r.status = 303;
        r.contentType = "text/plain; charset=utf-8";
        r.body = "sign in first: /login\n";
        r.headers.emplace_back("Location", "/login");
        return r;
    }
    HttpResponse r;
    r.contentType = contentType(file);
    r.body = std::string(found->body);
    return r;
}

}  // namespace unitfleetd
