// SPDX-License-Identifier: Apache-2.0
#include "frontends/control/recording_control.h"

namespace frontends {

std::vector<int> CallLog::ids() const {
    std::vector<int> result;
    for (const auto& call : calls) result.push_back(call.dispatchId);
    return result;
}

Value RecordingControl::invoke(int dispatchId, Arguments& args) {
    log_->calls.push_back({dispatchId, args, std::chrono::steady_clock::now()});
    return log_->answer ? log_->answer(dispatchId, args) : Value();
}

RecordingRegistration::RecordingRegistration(const std::string& name) : name_(name) {
    registerControl(name_, [log = log_] { return std::make_unique<RecordingControl>(log); });
}

RecordingRegistration::~RecordingRegistration() {
    unregisterControl(name_);
}

}  // namespace frontends
