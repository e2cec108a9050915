// SPDX-License-Identifier: Apache-2.0
// A shared library (libfoo.so, foo.dll) loaded at run time and its exports
// looked up by name: for programs that must start, and say what is missing,
// when the library is not there.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Owns one loaded library; unloads it when it goes. Addresses found through
// it are valid while it holds the library.
class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads the file at `path` in place of the one held before. A bare file
    // name is looked for where the system looks for libraries. False, holding
    // nothing, with the system's reason in `error` (dlerror's text, which
    // names the file; "error N" from Windows, which does not).
    bool open(const std::filesystem::path& path, std::string& error);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // The address of the export `name`; null with the system's reason in
    // `error` when the library has no such export or none is loaded.
    void* find(const char* name, std::string& error) const;

  private:
    void* handle_ = nullptr;
};

}  // namespace platform
