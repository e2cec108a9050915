// SPDX-License-Identifier: Apache-2.0
// A fake outside control for window tests: records every call with its
// arguments and answers from a function the test supplies.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "frontends/control/control.h"

namespace frontends {

struct RecordedCall {
    int dispatchId = 0;
    Arguments args;
    std::chrono::steady_clock::time_point at;
};

struct CallLog {
    std::vector<RecordedCall> calls;
    // The result of each call; no function answers every call with an empty Value.
    std::function<Value(int dispatchId, const Arguments& args)> answer;

    std::vector<int> ids() const;
};

class RecordingControl : public Control {
  public:
    explicit RecordingControl(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    Value invoke(int dispatchId, Arguments& args) override;

  private:
    std::shared_ptr<CallLog> log_;
};

// Registers a recording fake under `name` for as long as the guard lives;
// every control made under that name meanwhile writes to `log`.
class RecordingRegistration {
  public:
    explicit RecordingRegistration(const std::string& name);
    ~RecordingRegistration();
    RecordingRegistration(const RecordingRegistration&) = delete;
    RecordingRegistration& operator=(const RecordingRegistration&) = delete;

    CallLog& log() { return *log_; }
    const CallLog& log() const { return *log_; }

  private:
    std::string name_;
    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
};

}  // namespace frontends
