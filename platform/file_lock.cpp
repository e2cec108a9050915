// SPDX-License-Identifier: Apache-2.0
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::optional<FileLock> FileLock::take(const std::string& path, bool& busy, std::string& error) {
    busy = false;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
    if (fd < 0) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
        error = "cannot lock '" + path + "': " + std::strerror(errno);
        ::close(fd);
        return std::nullopt;
    }
    return FileLock(fd);
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace platform
