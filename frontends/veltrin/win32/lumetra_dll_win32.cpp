// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/win32/lumetra_dll.h"

#include "platform/shared_library.h"
#include "ui/win32/window.h"

namespace veltrin {

namespace {

class DllFile : public SymbolSource {
  public:
    explicit DllFile(std::wstring folder) : path_(std::move(folder) + L"Lumetra.dll") {}

    void* find(const char* name, std::string& problem) override {
        std::string error;
        if (!library_.isOpen() && !library_.open(path_, error)) {
            problem = "Cannot load the Lumetra library: looked for " + ui::win32::narrow(path_) +
                      " (" + error + ").";
            return nullptr;
        }
        void* address = library_.find(name, error);
        if (address == nullptr) {
            problem = "The Lumetra library " + ui::win32::narrow(path_) + " has no function " +
                      name + ".";
        }
        return address;
    }

    // Lumetra.dll hands out OLE system strings; its header frees them.
    void release(LumetraString text, std::string&) override { LumetraFreeString(text); }

  private:
    std::wstring path_;
    platform::SharedLibrary library_;
};

}  // namespace

std::unique_ptr<Library> bindLumetraDll(const std::wstring& folder) {
    return std::make_unique<LumetraCalls>(std::make_unique<DllFile>(folder));
}

}  // namespace veltrin
