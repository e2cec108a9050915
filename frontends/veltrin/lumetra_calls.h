// SPDX-License-Identifier: Apache-2.0
// The Library interface over the real Lumetra exports, looked up by name at
// each one's first call. Where the file is and how a string result is freed
// differ between systems; a SymbolSource supplies both.
#pragma once

#include <memory>
#include <string>

#include "frontends/veltrin/library.h"
#include "lumetra/lumetra.h"

namespace veltrin {

class SymbolSource {
  public:
    virtual ~SymbolSource() = default;
    // The export's address, loading the file first if need be; null with
    // `problem` naming the missing file or export.
    virtual void* find(const char* name, std::string& problem) = 0;
    // Frees a string result the way the library hands them out.
    virtual void release(LumetraString text, std::string& problem) = 0;
};

class LumetraCalls : public Library {
  public:
    explicit LumetraCalls(std::unique_ptr<SymbolSource> source);

    short open(const std::string& address) override;
    short reOpen(const std::string& address) override;
    void close() override;
    short lastError() override;
    std::string firstModeName() override;
    std::string nextModeName() override;
    std::string modeType(const std::string& name) override;
    std::string modeHelp(const std::string& name) override;
    short modeSize(const std::string& name) override;
    std::string nvRamMode(const std::string& name) override;
    std::string mode(const std::string& name) override;
    bool setMode(const std::string& name, const std::string& value) override;
    void commit() override;
    void restart() override;
    std::string takeProblem() override;

  private:
    template <typename Fn>
    Fn bound(Fn& slot, const char* name) {
        if (slot == nullptr)
            slot = reinterpret_cast<Fn>(source_->find(name, problem_));
        return slot;
    }
    std::string text(LumetraString result);

    std::unique_ptr<SymbolSource> source_;
    std::string problem_;

    decltype(&::uxOpen) open_ = nullptr;
    decltype(&::ReOpen) reOpen_ = nullptr;
    decltype(&::uxClose) close_ = nullptr;
    decltype(&::uxGetLastError) lastError_ = nullptr;
    decltype(&::GetFirstModeName) firstName_ = nullptr;
    decltype(&::GetNextModeName) nextName_ = nullptr;
    decltype(&::GetModeType) type_ = nullptr;
    decltype(&::GetModeHelp) help_ = nullptr;
    decltype(&::GetModeSize) size_ = nullptr;
    decltype(&::GetNVRamMode) nvRam_ = nullptr;
    decltype(&::GetMode) mode_ = nullptr;
    decltype(&::uxSetMode) setMode_ = nullptr;
    decltype(&::uxCommit) commit_ = nullptr;
    decltype(&::uxRestart) restart_ = nullptr;
};

}  // namespace veltrin
