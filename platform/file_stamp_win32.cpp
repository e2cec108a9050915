// SPDX-License-Identifier: Apache-2.0
// Windows twin of file_stamp.cpp: the volume, the file index, the size and
// the last write time to 100 ns from GetFileInformationByHandle, and the
// change time from FileBasicInfo where the system keeps one. (_stat has
// whole seconds and no file identity, so a quick same-size edit would look
// like no edit at all.)
#include <io.h>
#include <windows.h>

#include "platform/file_name.h"
#include "platform/file_stamp.h"

namespace platform {

namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochTicks = 116444736000000000LL;

std::int64_t nanosSince1970(std::int64_t ticks) {
    return (ticks - kEpochTicks) * 100;
}

std::int64_t ticksOf(const FILETIME& time) {
    return static_cast<std::int64_t>((std::uint64_t(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

std::optional<FileStamp> stampOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size =
        static_cast<std::int64_t>((std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.modifiedNs = nanosSince1970(ticksOf(info.ftLastWriteTime));
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        stamp.changedNs = nanosSince1970(basic.ChangeTime.QuadPart);
    return stamp;
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    std::optional<std::wstring> name = windowsFileName(path);
    if (!name)
        return std::nullopt;
    // Attributes only: no read access needed, and nobody else is locked out.
    HANDLE handle = CreateFileW(name->c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<FileStamp> stamp = stampOfHandle(handle);
    CloseHandle(handle);
    return stamp;
}

std::optional<FileStamp> stampOf(std::FILE* file) {
    if (file == nullptr)
        return std::nullopt;
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    return stampOfHandle(handle);
}

}  // namespace platform
