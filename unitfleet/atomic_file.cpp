#include "unitfleet/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace unitfleet {

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

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view content, bool durable,
                         std::string& error) {
    // Unique per process; each unit has a file of its own, so workers never
    // share a temporary name.
    std::string temporary = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, content) && (!durable || ::fsync(fd) == 0);
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    saved = errno ? errno : saved;
    error = path + ": " + std::strerror(saved);
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace unitfleet
