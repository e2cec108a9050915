// SPDX-License-Identifier: Apache-2.0
// Windows: files are created new (_O_EXCL) with the C runtime's low-level
// calls, and the temporary file is moved over the target with MoveFileEx,
// which replaces an existing file (rename does not on Windows).
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"

namespace platform {

namespace {

constexpr int kNewFile = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT;

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(content.size(), 1 << 30));
        int n = ::_write(fd, content.data(), chunk);
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A temporary file of our own beside `path`, created new; names already
// taken are passed over.
int createTemporary(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> serial{0};
    for (int n = 0; n < 100; ++n) {
        temporary = path + ".tmp" + std::to_string(::_getpid()) + "-" + std::to_string(serial++);
        int fd = ::_open(temporary.c_str(), kNewFile, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

std::string systemMessage(DWORD code) {
    char text[256] = "";
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
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
    bool ok = writeAll(fd, content) && (!durable || ::_commit(fd) == 0);
    int saved = errno;
    ok = ::_close(fd) == 0 && ok;
    if (!ok) {
        error = path + ": " + std::strerror(saved);
        std::remove(temporary.c_str());
        return false;
    }
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (::MoveFileExA(temporary.c_str(), path.c_str(), flags))
        return true;
    error = path + ": " + systemMessage(::GetLastError());
    std::remove(temporary.c_str());
    return false;
}

bool writeNewFile(const std::string& path, std::string_view content, std::string& error) {
    int fd = ::_open(path.c_str(), kNewFile, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, content);
    int saved = errno;
    ok = ::_close(fd) == 0 && ok;
    if (ok)
        return true;
    error = path + ": " + std::strerror(saved);
    std::remove(path.c_str());
    return false;
}

}  // namespace platform
