// SPDX-License-Identifier: Apache-2.0
#include "frontends/control/control.h"

#include <charconv>
#include <limits>
#include <map>

namespace frontends {

namespace {

std::map<std::string, ControlMaker>& registry() {
    static std::map<std::string, ControlMaker> makers;
    return makers;
}

template <typename Int>
std::optional<Int> fitting(std::int64_t whole) {
    if (whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(whole);
}

template <typename Int>
std::optional<Int> parseWhole(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t whole = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, whole);
    if (text.empty() || error != std::errc() || at != end)
        return std::nullopt;
    return fitting<Int>(whole);
}

// The value of an integer kind, widened; nothing for any other kind.
std::optional<std::int64_t> integerOf(const Value& value) {
    if (auto v = std::get_if<std::int16_t>(&value))
        return *v;
    if (auto v = std::get_if<std::int32_t>(&value))
        return *v;
    if (auto v = std::get_if<std::int64_t>(&value))
        return *v;
    return std::nullopt;
}

template <typename Int>
std::optional<Int> toWhole(const Value& value) {
    if (auto text = std::get_if<std::string>(&value))
        return parseWhole<Int>(*text);
    if (auto truth = std::get_if<bool>(&value))
        return static_cast<Int>(*truth ? 1 : 0);
    const auto whole = integerOf(value);
    return whole ? fitting<Int>(*whole) : std::nullopt;  // a fraction is no 16- or 32-bit result
}

template <typename Int>
std::optional<Int> integerArgument(const Value& value) {
    const auto whole = integerOf(value);
    return whole ? fitting<Int>(*whole) : std::nullopt;
}

}  // namespace

std::string describe(const Value& value) {
    struct Describe {
        std::string operator()(std::monostate) const { return "(empty)"; }
        std::string operator()(bool v) const { return v ? "true" : "false"; }
        std::string operator()(std::int16_t v) const { return std::to_string(v) + " (16-bit)"; }
        std::string operator()(std::int32_t v) const { return std::to_string(v) + " (32-bit)"; }
        std::string operator()(std::int64_t v) const { return std::to_string(v) + " (64-bit)"; }
        std::string operator()(double v) const { return std::to_string(v); }
        std::string operator()(const std::string& v) const { return '"' + v + '"'; }
    };
    return std::visit(Describe{}, value);
}

std::optional<std::string> stringArgument(const Value& value) {
    if (auto text = std::get_if<std::string>(&value))
        return *text;
    return std::nullopt;
}

std::optional<std::int16_t> int16Argument(const Value& value) {
    return integerArgument<std::int16_t>(value);
}

std::optional<std::int32_t> int32Argument(const Value& value) {
    return integerArgument<std::int32_t>(value);
}

void registerControl(const std::string& name, ControlMaker maker) {
    registry()[name] = std::move(maker);
}

void unregisterControl(const std::string& name) {
    registry().erase(name);
}

std::unique_ptr<Control> createControl(const std::string& name) {
    auto found = registry().find(name);
    if (found == registry().end() || !found->second)
        return nullptr;
    return found->second();
}

std::optional<std::int16_t> toInt16(const Value& value) {
    return toWhole<std::int16_t>(value);
}
std::optional<std::int32_t> toInt32(const Value& value) {
    return toWhole<std::int32_t>(value);
}

std::optional<std::int16_t> parseInt16(std::string_view text) {
    return parseWhole<std::int16_t>(text);
}
std::optional<std::int32_t> parseInt32(std::string_view text) {
    return parseWhole<std::int32_t>(text);
}

}  // namespace frontends
