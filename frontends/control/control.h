// SPDX-License-Identifier: Apache-2.0
// The windows talk to their outside controls through one late-bound entry
// point, by dispatch id, exactly as they would call a real control's dispatch
// interface: the window never sees the control's own type. Controls are made
// by their registered name, so a test can register a recording fake under the
// same name before the window is built. Nothing here depends on a window
// toolkit: the Qt and the Win32 windows use the same controls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace frontends {

// One argument or result of a control call, as a dispatch interface passes
// them: nothing (an empty value: the call failed or gave no result), a
// truth value, integers of 16, 32 and 64 bits, a floating-point number or an
// 8-bit text.
using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, std::int64_t, double,
                           std::string>;
using Arguments = std::vector<Value>;

inline bool isEmpty(const Value& value) {
    return std::holds_alternative<std::monostate>(value);
}

// The value as a short readable text, for messages and test traces.
std::string describe(const Value& value);

class Control {
  public:
    virtual ~Control() = default;
    // Calls the method with `dispatchId`. Arguments are passed by reference,
    // as the windows pass them. An empty Value means the call failed
    // (unknown id, wrong argument count or kind).
    virtual Value invoke(int dispatchId, Arguments& args) = 0;
    // Why the last call failed, where the control knows (a missing library
    // or export); empty otherwise.
    virtual std::string problem() const { return {}; }
};

using ControlMaker = std::function<std::unique_ptr<Control>()>;

// Registered names of the two outside controls.
inline const std::string kLumetraControlName = "LUMETRALib.Lumetra";
inline const std::string kZorrelControlName = "ZORRELLib.Zorrel";

// Registers `maker` under `name`, replacing an earlier registration.
void registerControl(const std::string& name, ControlMaker maker);
// Removes the registration of `name` (nothing when there is none).
void unregisterControl(const std::string& name);
// A new control of the registered `name`; null when nothing is registered.
std::unique_ptr<Control> createControl(const std::string& name);

// Call helpers for the windows: a result converted to the integer type the
// window takes from it; nothing when the call failed or the value is not a
// whole number that fits (a real control's caller would stop with an
// overflow or type-mismatch error there). A text counts when it holds a
// whole number, blanks around it allowed.
std::optional<std::int16_t> toInt16(const Value& value);
std::optional<std::int32_t> toInt32(const Value& value);

// A whole number of type Int in `text` (blanks around it allowed); nothing
// for any other text or a number that does not fit.
std::optional<std::int16_t> parseInt16(std::string_view text);
std::optional<std::int32_t> parseInt32(std::string_view text);

// Argument helpers for the controls: a string argument must be a string; an
// integer argument may be any integer kind whose value fits the type.
std::optional<std::string> stringArgument(const Value& value);
std::optional<std::int16_t> int16Argument(const Value& value);
std::optional<std::int32_t> int32Argument(const Value& value);

}  // namespace frontends
