// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/lumetra_calls.h"

#include <cstring>
#include <utility>

namespace veltrin {

LumetraCalls::LumetraCalls(std::unique_ptr<SymbolSource> source) : source_(std::move(source)) {}

std::string LumetraCalls::text(LumetraString result) {
    if (result == nullptr)
        return {};
    std::string bytes(result, std::strlen(result));
    source_->release(result, problem_);
    return bytes;
}

std::string LumetraCalls::takeProblem() {
    return std::exchange(problem_, std::string());
}

short LumetraCalls::open(const std::string& address) {
    auto fn = bound(open_, "uxOpen");
    return fn != nullptr ? fn(address.c_str()) : 0;
}

short LumetraCalls::reOpen(const std::string& address) {
    auto fn = bound(reOpen_, "ReOpen");
    return fn != nullptr ? fn(address.c_str()) : 0;
}

void LumetraCalls::close() {
    if (auto fn = bound(close_, "uxClose"))
        fn();
}

short LumetraCalls::lastError() {
    auto fn = bound(lastError_, "uxGetLastError");
    return fn != nullptr ? fn() : 0;
}

std::string LumetraCalls::firstModeName() {
    auto fn = bound(firstName_, "GetFirstModeName");
    return fn != nullptr ? text(fn()) : std::string();
}

std::string LumetraCalls::nextModeName() {
    auto fn = bound(nextName_, "GetNextModeName");
    return fn != nullptr ? text(fn()) : std::string();
}

std::string LumetraCalls::modeType(const std::string& name) {
    auto fn = bound(type_, "GetModeType");
    return fn != nullptr ? text(fn(name.c_str())) : std::string();
}

std::string LumetraCalls::modeHelp(const std::string& name) {
    auto fn = bound(help_, "GetModeHelp");
    return fn != nullptr ? text(fn(name.c_str())) : std::string();
}

short LumetraCalls::modeSize(const std::string& name) {
    auto fn = bound(size_, "GetModeSize");
    return fn != nullptr ? fn(name.c_str()) : 0;
}

std::string LumetraCalls::nvRamMode(const std::string& name) {
    auto fn = bound(nvRam_, "GetNVRamMode");
    return fn != nullptr ? text(fn(name.c_str())) : std::string();
}

std::string LumetraCalls::mode(const std::string& name) {
    auto fn = bound(mode_, "GetMode");
    return fn != nullptr ? text(fn(name.c_str())) : std::string();
}

bool LumetraCalls::setMode(const std::string& name, const std::string& value) {
    auto fn = bound(setMode_, "uxSetMode");
    return fn != nullptr && fn(name.c_str(), value.c_str()) != 0;
}

void LumetraCalls::commit() {
    if (auto fn = bound(commit_, "uxCommit"))
        fn();
}

void LumetraCalls::restart() {
    if (auto fn = bound(restart_, "uxRestart"))
        fn();
}

}  // namespace veltrin
