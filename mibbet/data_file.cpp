#include "mibbet/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

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

bool readWhole(int fd, std::string& into) {
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        into.append(chunk, static_cast<std::size_t>(n));
    }
}

// File systems stamp modification times from a coarse clock, so an edit made
// in the same tick as our read could leave size and time unchanged. A file
// changed this recently is read again at the next request.
constexpr std::chrono::seconds kTimestampSlack{1};

bool changedRecently(std::int64_t mtimeSeconds, std::int64_t mtimeNanos) {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto mtime = std::chrono::seconds(mtimeSeconds) + std::chrono::nanoseconds(mtimeNanos);
    return mtime + kTimestampSlack >= now;
}

}  // namespace

Answers Answers::parse(std::string_view content) {
    Answers answers;
    while (!content.empty()) answers.addLine(asText(nextPiece(content)));
    return answers;
}

void Answers::addLine(std::string_view line) {
    if (line.empty() || protocol::isWhite(line[0])) return;
    line = protocol::trimRight(line);
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', tab + 1)) {
        if (tab + 1 >= line.size()) break;  // nothing after this TAB
        if (tab > kLongestKey) break;
        answers_.try_emplace(std::string(line.substr(0, tab)), line.substr(tab + 1));
    }
}

std::optional<std::string_view> Answers::find(std::string_view key) const {
    key = protocol::trimRight(key);
    if (key.size() > kLongestKey) return std::nullopt;
    auto it = answers_.find(std::string(key));
    if (it == answers_.end()) return std::nullopt;
    return std::string_view(it->second);
}

bool DataFile::refresh() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        cached_.reset();
        return false;
    }
    Identity now{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                 static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    if (trusted_ && cached_ == now) return true;

    int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) {
        cached_.reset();
        return false;
    }
    // Identify what is actually read: the file may be replaced meanwhile.
    std::string content;
    bool ok = ::fstat(fd, &st) == 0 && readWhole(fd, content);
    ::close(fd);
    ++reads_;
    if (!ok) {
        cached_.reset();
        return false;
    }
    answers_ = Answers::parse(content);
    cached_ = Identity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                       static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
                       st.st_mtim.tv_nsec};
    trusted_ = !changedRecently(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return true;
}

std::optional<std::string> DataFile::lookup(std::string_view key) {
    if (!refresh()) return std::nullopt;
    std::optional<std::string_view> value = answers_.find(key);
    if (!value) return std::nullopt;
    return std::string(*value);
}

}  // namespace mibbet
