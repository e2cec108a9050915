#include "hobsel/data_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "protocol/text.h"

namespace hobsel {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

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

bool DataFileCache::readFile(const std::string& path, std::string& content) const {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    content.clear();
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, n);
    return true;
}

bool DataFileCache::refresh(const std::string& path, std::int64_t nowSeconds) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        valid_ = false;
        return false;
    }
    Identity seen;
    seen.device = st.st_dev;
    seen.inode = st.st_ino;
    seen.size = st.st_size;
    seen.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    seen.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    // A write lands in the modification time; one that comes within the file
    // system's clock resolution of the last could leave every field as it
    // was, so a file written in the last two seconds is never trusted.
    bool recent = nowSeconds - std::int64_t(st.st_mtim.tv_sec) < 2;
    if (valid_ && !recent && path == path_ && seen == identity_)
        return true;

    std::string content;
    if (!readFile(path, content)) {
        valid_ = false;
        return false;
    }
    load(std::move(content));
    path_ = path;
    identity_ = seen;
    valid_ = true;
    return true;
}

void DataFileCache::load(std::string content) {
    content_ = std::move(content);
    lines_ = dataLines(content_);
    index_.clear();
    for (std::uint32_t i = 0; i < lines_.size(); ++i) {
        std::size_t tab = lines_[i].find('\t');
        if (tab == std::string_view::npos)
            continue;
        index_[lines_[i].substr(0, tab)].push_back(i);
    }
}

std::vector<std::string_view> DataFileCache::responses(std::string_view key) const {
    std::vector<std::string_view> found;
    auto take = [&](std::string_view line) {
        if (line.size() > key.size() + 1 && line.substr(0, key.size()) == key &&
            line[key.size()] == '\t') {
            found.push_back(line.substr(key.size() + 1));
        }
    };
    if (key.find('\t') == std::string_view::npos) {
        auto it = index_.find(key);
        if (it != index_.end()) {
            for (std::uint32_t i : it->second) take(lines_[i]);
        }
    } else {
        for (std::string_view line : lines_) take(line);
    }
    return found;
}

}  // namespace hobsel
