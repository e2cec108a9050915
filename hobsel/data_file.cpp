// SPDX-License-Identifier: Apache-2.0
#include "hobsel/data_file.h"

#include <cstdio>
#include <memory>

#include "protocol/text.h"

namespace hobsel {

std::vector<std::string_view> dataLines(std::string_view content) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < content.size()) {
        std::string_view rest = content.substr(at);
        std::size_t end = rest.substr(0, kLinePiece).find('\n');
        std::size_t take =
            end == std::string_view::npos ? std::min(rest.size(), kLinePiece) : end + 1;
        std::string_view piece = rest.substr(0, take);
        at += take;
        piece = piece.substr(0, piece.find('\0'));
        piece = protocol::trimRight(piece);
        if (piece.empty() || protocol::isWhite(piece[0]))
            continue;
        lines.push_back(piece);
    }
    return lines;
}

namespace {

// Calls `visit` for each line's response whose key is `key`.
bool visitLine(std::string_view line, std::string_view key,
               const std::function<void(std::string_view)>& visit) {
    if (line.size() > key.size() + 1 && line.substr(0, key.size()) == key &&
        line[key.size()] == '\t') {
        visit(line.substr(key.size() + 1));
    }
    return true;
}

}  // namespace

void DataFileCache::index(std::string_view content) {
    index_.clear();
    for (std::string_view line : dataLines(content)) {
        std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos)
            index_.add(content, line, tab);
    }
    index_.finish(content);
    ++parses_;
}

bool DataFileCache::refresh(const std::string& path) {
    path_ = path;
    switch (file_.refresh(path)) {
        case hostdata::CachedFile::Status::Same:
            streaming_ = false;
            return true;
        case hostdata::CachedFile::Status::Changed:
            streaming_ = false;
            index(file_.content());
            return true;
        case hostdata::CachedFile::Status::TooLarge:
            index_.clear();
            streaming_ = true;
            return true;
        case hostdata::CachedFile::Status::Missing:
            break;
    }
    index_.clear();
    streaming_ = false;
    return false;
}

void DataFileCache::load(std::string content) {
    loaded_ = std::move(content);
    path_.clear();
    streaming_ = false;
    index(loaded_);
}

void DataFileCache::forEachResponse(std::string_view key,
                                    const std::function<void(std::string_view)>& visit) const {
    auto take = [&](std::string_view line) { return visitLine(line, key, visit); };
    if (streaming_) {
        hostdata::forEachChunk(path_, kLinePiece, [&](std::string_view chunk) {
            for (std::string_view line : dataLines(chunk)) take(line);
            return true;
        });
        return;
    }
    std::string_view content = path_.empty() ? std::string_view(loaded_) : file_.content();
    if (key.find('\t') == std::string_view::npos) {
        index_.forEach(content, key, take);
    } else {
        // A key holding a TAB can match any line with a TAB.
        index_.forAll(content, take);
    }
}

}  // namespace hobsel
