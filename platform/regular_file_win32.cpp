// SPDX-License-Identifier: Apache-2.0
// Windows twin of regular_file.cpp: CreateFileW with the name in UTF-16, then
// the file's type checked on the handle.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/file_name.h"
#include "platform/regular_file.h"

namespace platform {

ReadFile openRegularFile(const std::string& path) {
    std::optional<std::wstring> name = windowsFileName(path);
    if (!name)
        return nullptr;
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory is not opened at all;
    // others may go on writing, renaming or deleting the file meanwhile.
    HANDLE handle = CreateFileW(name->c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr)
        _close(fd);
    return ReadFile(file);
}

}  // namespace platform
