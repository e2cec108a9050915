// SPDX-License-Identifier: Apache-2.0
#include "hostdata/cached_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/regular_file.h"

namespace hostdata {

namespace {

using File = platform::ReadFile;

constexpr std::size_t kChunk = 1 << 20;

std::int64_t systemNowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

CachedFile::CachedFile(std::size_t mostBytes, FileClocks clocks)
    : mostBytes_(mostBytes), clocks_(std::move(clocks)) {
    if (!clocks_.nowNs)
        clocks_.nowNs = systemNowNs;
    clocks_.stampTickNs = std::max<std::int64_t>(clocks_.stampTickNs, 1);
}

std::optional<platform::FileStamp> CachedFile::ticked(
    std::optional<platform::FileStamp> stamp) const {
    if (stamp) {
        stamp->modifiedNs -= stamp->modifiedNs % clocks_.stampTickNs;
        stamp->changedNs -= stamp->changedNs % clocks_.stampTickNs;
    }
    return stamp;
}

void CachedFile::forget() {
    stamp_.reset();
    settled_ = false;
    std::string().swap(content_);
}

// A write within the file system's clock resolution of the last one can
// leave every field of the stamp as it was. So a stamp proves the content
// only when it was last written (or changed) longer than that before the
// content was read: a later edit then has to show in the stamp.
bool CachedFile::settledAt(const platform::FileStamp& stamp, std::int64_t readNs) const {
    std::int64_t written = std::max(stamp.modifiedNs, stamp.changedNs);
    return readNs - written >= kStampGranularityNs;
}

bool CachedFile::sameBytes(std::FILE* file) const {
    std::vector<char> chunk(kChunk);
    std::size_t at = 0;
    for (;;) {
        std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
        if (n == 0)
            return at == content_.size() && !std::ferror(file);
        if (at + n > content_.size() || std::memcmp(chunk.data(), content_.data() + at, n) != 0) {
            return false;
        }
        at += n;
    }
}

CachedFile::Status CachedFile::readWhole(std::FILE* file, std::size_t size) {
    try {
        content_.reserve(size);
        std::vector<char> chunk(kChunk);
        std::size_t n;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
            if (content_.size() + n > mostBytes_)
                return Status::TooLarge;
            content_.append(chunk.data(), n);
        }
    } catch (const std::bad_alloc&) {
        return Status::TooLarge;  // no memory for it: read it piece by piece
    } catch (const std::length_error&) {
        return Status::TooLarge;
    }
    return std::ferror(file) ? Status::Missing : Status::Changed;
}

CachedFile::Status CachedFile::refresh(const std::string& path) {
    std::optional<platform::FileStamp> stamp = ticked(platform::stampOf(path));
    if (!stamp) {
        forget();
        return Status::Missing;
    }
    bool known = stamp_ && path == path_;
    if (known && settled_ && *stamp == *stamp_)
        return Status::Same;
    if (stamp->size < 0 || static_cast<std::uint64_t>(stamp->size) > mostBytes_) {
        forget();
        return Status::TooLarge;
    }
    // From here on everything is taken from the open file: its stamp before
    // and after the read, and its bytes.
    File file = platform::openRegularFile(path);
    std::int64_t readNs = clocks_.nowNs();
    std::optional<platform::FileStamp> before =
        file ? ticked(platform::stampOf(file.get())) : std::nullopt;
    if (!before || before->size < 0) {
        forget();
        return Status::Missing;
    }
    auto keep = [&](const platform::FileStamp& read) {
        std::optional<platform::FileStamp> after = ticked(platform::stampOf(file.get()));
        stamp_ = read;
        settled_ = after && *after == read && settledAt(read, readNs);
    };
    if (known && static_cast<std::size_t>(before->size) == content_.size() &&
        sameBytes(file.get())) {
        keep(*before);
        return Status::Same;
    }
    // The old copy goes first, so at no time are two copies held.
    forget();
    std::rewind(file.get());
    Status read = readWhole(file.get(), static_cast<std::size_t>(before->size));
    if (read != Status::Changed) {
        forget();
        return read;
    }
    path_ = path;
    keep(*before);
    ++changes_;
    return Status::Changed;
}

bool forEachChunk(const std::string& path, std::size_t pieceSize,
                  const std::function<bool(std::string_view)>& chunk) {
    File file = platform::openRegularFile(path);
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

}  // namespace hostdata
