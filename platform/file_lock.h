// SPDX-License-Identifier: Apache-2.0
// An exclusive lock on a file, held as long as the object lives and dropped
// by the system when the process ends, however it ends (flock).
#pragma once

#include <optional>
#include <string>

namespace platform {

class FileLock {
  public:
    // Creates `path` when missing and locks it. Nothing when it cannot: `busy`
    // says whether another process holds the lock; `error` says why.
    static std::optional<FileLock> take(const std::string& path, bool& busy, std::string& error);
    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace platform
