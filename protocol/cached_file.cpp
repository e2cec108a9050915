#include "protocol/cached_file.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace protocol {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kChunk = 1 << 20;

// A write within the file system's clock resolution of the last one can
// leave every field of the stamp as it was.
bool writtenRecently(const net::FileStamp& stamp) {
    using namespace std::chrono;
    auto now = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return now - stamp.modifiedNs < duration_cast<nanoseconds>(seconds(2)).count();
}

}  // namespace

void CachedFile::forget() {
    stamp_.reset();
    std::string().swap(content_);
}

bool CachedFile::sameBytes(const std::string& path) const {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    std::vector<char> chunk(kChunk);
    std::size_t at = 0;
    for (;;) {
        std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (n == 0)
            return at == content_.size() && !std::ferror(file.get());
        if (at + n > content_.size() || std::memcmp(chunk.data(), content_.data() + at, n) != 0) {
            return false;
        }
        at += n;
    }
}

CachedFile::Status CachedFile::readWhole(const std::string& path, std::size_t size) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return Status::Missing;
    try {
        content_.reserve(size);
        std::vector<char> chunk(kChunk);
        std::size_t n;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
            if (content_.size() + n > mostBytes_)
                return Status::TooLarge;
            content_.append(chunk.data(), n);
        }
    } catch (const std::bad_alloc&) {
        return Status::TooLarge;  // no memory for it: read it piece by piece
    } catch (const std::length_error&) {
        return Status::TooLarge;
    }
    return std::ferror(file.get()) ? Status::Missing : Status::Changed;
}

CachedFile::Status CachedFile::refresh(const std::string& path) {
    std::optional<net::FileStamp> stamp = net::stampOf(path);
    if (!stamp) {
        forget();
        return Status::Missing;
    }
    bool known = stamp_ && path == path_;
    if (known && *stamp == *stamp_ && !writtenRecently(*stamp))
        return Status::Same;
    if (stamp->size < 0 || static_cast<std::uint64_t>(stamp->size) > mostBytes_) {
        forget();
        return Status::TooLarge;
    }
    if (known && static_cast<std::size_t>(stamp->size) == content_.size() && sameBytes(path)) {
        stamp_ = stamp;
        return Status::Same;
    }
    // The old copy goes first, so at no time are two copies held.
    forget();
    Status read = readWhole(path, static_cast<std::size_t>(stamp->size));
    if (read != Status::Changed) {
        forget();
        return read;
    }
    path_ = path;
    stamp_ = stamp;
    ++changes_;
    return Status::Changed;
}

bool forEachChunk(const std::string& path, std::size_t pieceSize,
                  const std::function<bool(std::string_view)>& chunk) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    std::vector<char> buffer(kChunk + pieceSize);
    std::size_t held = 0;
    for (;;) {
        std::size_t n = std::fread(buffer.data() + held, 1, buffer.size() - held, file.get());
        held += n;
        if (n == 0) {
            if (held > 0)
                chunk(std::string_view(buffer.data(), held));
            return !std::ferror(file.get());
        }
        // Hand over everything up to where the last complete piece ends.
        std::string_view all(buffer.data(), held);
        std::size_t lineStart = all.rfind('\n');
        lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
        std::size_t end = lineStart + (held - lineStart) / pieceSize * pieceSize;
        if (end == 0)
            continue;
        if (!chunk(all.substr(0, end)))
            return true;
        std::memmove(buffer.data(), buffer.data() + end, held - end);
        held -= end;
    }
}

}  // namespace protocol
