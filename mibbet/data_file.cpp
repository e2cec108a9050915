// SPDX-License-Identifier: Apache-2.0
#include "mibbet/data_file.h"

#include "protocol/text.h"

namespace mibbet {

namespace {

// The next piece of the file as the line reader sees it: up to and including
// a line feed, at most kPieceSize bytes.
std::string_view nextPiece(std::string_view& rest) {
    std::size_t limit = rest.size() < kPieceSize ? rest.size() : kPieceSize;
    std::size_t end = rest.substr(0, limit).find('\n');
    std::size_t n = end == std::string_view::npos ? limit : end + 1;
    std::string_view piece = rest.substr(0, n);
    rest.remove_prefix(n);
    return piece;
}

// A piece is read as zero-terminated text: a zero byte ends it.
std::string_view asText(std::string_view piece) {
    std::size_t zero = piece.find('\0');
    return zero == std::string_view::npos ? piece : piece.substr(0, zero);
}

}  // namespace

Answers Answers::parse(std::string_view content) {
    Answers answers;
    answers.content_ = content;
    while (!content.empty()) answers.addLine(asText(nextPiece(content)));
    answers.index_.finish(answers.content_);
    return answers;
}

void Answers::addLine(std::string_view line) {
    if (line.empty() || protocol::isWhite(line[0])) return;
    line = protocol::trimRight(line);
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', tab + 1)) {
        if (tab + 1 >= line.size()) break;  // nothing after this TAB
        if (tab > kLongestKey) break;
        index_.add(content_, line, tab);
    }
}

std::optional<std::string_view> Answers::find(std::string_view key) const {
    key = protocol::trimRight(key);
    if (key.size() > kLongestKey) return std::nullopt;
    std::optional<std::string_view> found;
    index_.forEach(content_, key, [&](std::string_view line) {
        found = line.substr(key.size() + 1);
        return false;  // the first line wins
    });
    return found;
}

std::optional<std::string_view> findInLines(std::string_view content, std::string_view key) {
    key = protocol::trimRight(key);
    if (key.size() > kLongestKey)
        return std::nullopt;
    while (!content.empty()) {
        std::string_view line = asText(nextPiece(content));
        if (line.empty() || protocol::isWhite(line[0]))
            continue;
        line = protocol::trimRight(line);
        if (line.size() > key.size() + 1 && line.substr(0, key.size()) == key &&
            line[key.size()] == '\t') {
            return line.substr(key.size() + 1);
        }
    }
    return std::nullopt;
}

std::optional<std::string> DataFile::lookup(std::string_view key) {
    switch (file_.refresh(path_)) {
        case hostdata::CachedFile::Status::Changed:
            answers_ = Answers::parse(file_.content());
            [[fallthrough]];
        case hostdata::CachedFile::Status::Same: {
            std::optional<std::string_view> value = answers_.find(key);
            if (!value)
                return std::nullopt;
            return std::string(*value);
        }
        case hostdata::CachedFile::Status::TooLarge: {
            answers_ = Answers();
            std::optional<std::string> value;
            hostdata::forEachChunk(path_, kPieceSize, [&](std::string_view chunk) {
                if (std::optional<std::string_view> found = findInLines(chunk, key)) {
                    value = std::string(*found);
                }
                return !value;
            });
            return value;
        }
        case hostdata::CachedFile::Status::Missing:
            break;
    }
    answers_ = Answers();
    return std::nullopt;
}

}  // namespace mibbet
