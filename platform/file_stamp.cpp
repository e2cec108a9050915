// SPDX-License-Identifier: Apache-2.0
#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace platform {

namespace {

FileStamp fromStat(const struct stat& st) {
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = st.st_size;
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

std::optional<FileStamp> stampOf(std::FILE* file) {
    struct stat st {};
    if (file == nullptr || ::fstat(::fileno(file), &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

}  // namespace platform
