// SPDX-License-Identifier: Apache-2.0
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A temporary file of our own beside `path`: created new (O_EXCL), never
// through a link planted at its name (O_NOFOLLOW), so nobody can make us
// write into another file. Names already taken are passed over.
int createTemporary(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> serial{0};
    constexpr int kTries = 100;
    for (int n = 0; n < kTries; ++n) {
        temporary = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view content, bool durable,
                         std::string& error) {
    std::string temporary;
    int fd = createTemporary(path, temporary);
    if (fd < 0) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, content) && (!durable || ::fsync(fd) == 0);
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    // rename replaces a link at `path` itself, never the file it points to.
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    saved = errno ? errno : saved;
    error = path + ": " + std::strerror(saved);
    ::unlink(temporary.c_str());
    return false;
}

bool writeNewFile(const std::string& path, std::string_view content, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, content);
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        return true;
    error = path + ": " + std::strerror(errno ? errno : saved);
    ::unlink(path.c_str());
    return false;
}

}  // namespace platform
