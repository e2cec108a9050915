// SPDX-License-Identifier: Apache-2.0
// Windows twin of shared_library.cpp: LoadLibraryW with the path's UTF-16
// name, GetProcAddress, FreeLibrary.
#include <windows.h>

#include <utility>

#include "platform/shared_library.h"

namespace platform {

namespace {

std::string lastErrorText() {
    return "error " + std::to_string(GetLastError());
}

}  // namespace

SharedLibrary::~SharedLibrary() {
    close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool SharedLibrary::open(const std::filesystem::path& path, std::string& error) {
    close();
    handle_ = LoadLibraryW(path.c_str());
    if (handle_ == nullptr) {
        error = lastErrorText();
        return false;
    }
    return true;
}

void SharedLibrary::close() {
    if (handle_ != nullptr)
        FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

void* SharedLibrary::find(const char* name, std::string& error) const {
    if (handle_ == nullptr) {
        error = "no library loaded";
        return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
    if (address == nullptr)
        error = lastErrorText();
    return reinterpret_cast<void*>(address);
}

}  // namespace platform
