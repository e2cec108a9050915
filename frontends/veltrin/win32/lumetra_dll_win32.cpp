// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include "frontends/veltrin/win32/lumetra_dll.h"
#include "ui/win32/window.h"

namespace veltrin {

namespace {

class DllFile : public SymbolSource {
  public:
    explicit DllFile(std::wstring folder) : path_(std::move(folder) + L"Lumetra.dll") {}
    ~DllFile() override {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    void* find(const char* name, std::string& problem) override {
        if (module_ == nullptr) {
            module_ = LoadLibraryW(path_.c_str());
            if (module_ == nullptr) {
                problem = "Cannot load the Lumetra library: looked for " +
                          ui::win32::narrow(path_) + " (error " + std::to_string(GetLastError()) +
                          ").";
                return nullptr;
            }
        }
        FARPROC fn = GetProcAddress(module_, name);
        if (fn == nullptr) {
            problem = "The Lumetra library " + ui::win32::narrow(path_) + " has no function " +
                      name + ".";
        }
        return reinterpret_cast<void*>(fn);
    }

    // Lumetra.dll hands out OLE system strings.
    void release(LumetraString text, std::string&) override {
        SysFreeString(reinterpret_cast<BSTR>(reinterpret_cast<void*>(text)));
    }

  private:
    std::wstring path_;
    HMODULE module_ = nullptr;
};

}  // namespace

std::unique_ptr<Library> bindLumetraDll(const std::wstring& folder) {
    return std::make_unique<LumetraCalls>(std::make_unique<DllFile>(folder));
}

}  // namespace veltrin
