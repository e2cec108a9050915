// SPDX-License-Identifier: Apache-2.0
#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace platform {

namespace {

std::string lastDlError(const char* fallback) {
    const char* text = ::dlerror();
    return text != nullptr ? text : fallback;
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
    // Every export bound now: a library that lacks one its code needs fails
    // here rather than at some later call.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error = lastDlError("cannot load the library");
        return false;
    }
    return true;
}

void SharedLibrary::close() {
    if (handle_ != nullptr)
        ::dlclose(std::exchange(handle_, nullptr));
}

void* SharedLibrary::find(const char* name, std::string& error) const {
    if (handle_ == nullptr) {
        error = "no library loaded";
        return nullptr;
    }
    ::dlerror();  // a null export is told from a missing one by dlerror alone
    void* address = ::dlsym(handle_, name);
    if (address == nullptr)
        error = lastDlError("the export's address is null");
    return address;
}

}  // namespace platform
