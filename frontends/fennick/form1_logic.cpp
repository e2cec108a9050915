// SPDX-License-Identifier: Apache-2.0
#include "frontends/fennick/form1_logic.h"

#include <limits>

#include "frontends/fennick/lumetra_control.h"

namespace fennick {

using frontends::Arguments;

namespace {

const ui::ControlSpec kLabels[] = {
    {"Label1", "Unit IP Address:", {600, 360, 1215, 375}},
    {"Label2", "Data Rate:", {960, 1080, 855, 375}},
    {"Label3", "Data Bits:", {1080, 1800, 735, 375}},
    {"Label4", "Parity:", {1320, 2520, 495, 375}},
    {"Label5", "Stop Bits:", {1080, 3240, 735, 375}},
    {"Label6", "Flow control:", {840, 3960, 975, 375}},
};

const ComboSpec kCombos[] = {
    {"Combo3",
     Field::DataRate,
     {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400",
      "460800", "921600"},
     "9600",
     {2040, 1080, 1815, 315}},
    {"Combo4", Field::DataBits, {"7", "8"}, "8", {2040, 1800, 1815, 315}},
    {"Combo5", Field::Parity, {"Even", "Odd", "None"}, "None", {2040, 2520, 1815, 315}},
    {"Combo6", Field::StopBits, {"1", "2"}, "1", {2040, 3240, 1815, 315}},
    {"Combo1",
     Field::FlowControl,
     {"Xon / Xoff", "Hardware", "None"},
     "Hardware",
     {2040, 3960, 1815, 315}},
};

template <typename Int>
std::optional<Int> parse(const std::string& text);
template <>
std::optional<std::int16_t> parse(const std::string& text) {
    return frontends::parseInt16(text);
}
template <>
std::optional<std::int32_t> parse(const std::string& text) {
    return frontends::parseInt32(text);
}

}  // namespace

std::span<const ui::ControlSpec> labels() {
    return kLabels;
}

std::span<const ComboSpec> combos() {
    return kCombos;
}

Form1Logic::Form1Logic(Form1View& view)
    : view_(view), lumetra1_(frontends::createControl(frontends::kLumetraControlName)) {}

void Form1Logic::setOkEnabled(bool enabled) {
    okEnabled_ = enabled;
    view_.setOkEnabled(enabled);
}

void Form1Logic::addressChanged() {
    setOkEnabled(true);
    view_.showOkColour(ui::kButtonFace, {});
}

void Form1Logic::itemPicked() {
    view_.showOkColour(ui::kButtonFace, {});
    setOkEnabled(true);
}

void Form1Logic::answer(const ui::Colour& colour, std::string_view why) {
    view_.showOkColour(colour, why);
}

// The text of `field` as a whole number of type Int. Anything else turns OK
// red, with a note that names the field, and gives nothing.
template <typename Int>
std::optional<Int> Form1Logic::number(Field field, const char* name) {
    const auto value = parse<Int>(view_.text(field));
    if (!value)
        answer(kNotSentColour, std::string(name) + " must be a whole number from " +
                                   std::to_string(std::numeric_limits<Int>::min()) + " to " +
                                   std::to_string(std::numeric_limits<Int>::max()) + ".");
    return value;
}

void Form1Logic::okPressed() {
    if (!okEnabled_)
        return;
    setOkEnabled(false);
    std::string address = view_.text(Field::Address);
    const auto rate = number<std::int32_t>(Field::DataRate, "Data Rate");
    if (!rate)
        return;
    const auto bits = number<std::int16_t>(Field::DataBits, "Data Bits");
    if (!bits)
        return;
    std::string parity = view_.text(Field::Parity);
    const auto stops = number<std::int16_t>(Field::StopBits, "Stop Bits");
    if (!stops)
        return;
    std::string flow = view_.text(Field::FlowControl);
    if (!lumetra1_)
        return answer(kNotSentColour,
                      "No " + frontends::kLumetraControlName + " control is available.");
    Arguments args{std::move(address), *rate, *bits, std::move(parity), *stops, std::move(flow)};
    const auto result = frontends::toInt16(lumetra1_->invoke(kSetPort2, args));
    if (!result) {
        const std::string problem = lumetra1_->problem();
        return answer(kNotSentColour, problem.empty()
                                          ? "The call to the control failed."
                                          : "The call to the control failed: " + problem + ".");
    }
    if (*result == 0)
        return answer(kNotSentColour, "The unit was not reached.");
    answer(kSentColour);
}

void Form1Logic::exitPressed() {
    view_.closeWindow();
}

}  // namespace fennick
