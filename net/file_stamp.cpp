#include "net/file_stamp.h"

#include <sys/stat.h>

namespace net {

std::optional<FileStamp> stampOf(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st {};
    if (::_stat64(path.c_str(), &st) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = st.st_size;
    stamp.modifiedNs = std::int64_t(st.st_mtime) * 1000000000;
    stamp.changedNs = std::int64_t(st.st_ctime) * 1000000000;
    return stamp;
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = st.st_size;
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
#endif
}

}  // namespace net
