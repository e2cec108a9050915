// SPDX-License-Identifier: Apache-2.0
// The port-2 window's logic with a recording view and a recording control:
// no toolkit, every event and what it makes the view and the control do.
#include "frontends/fennick/form1_logic.h"

#include <gtest/gtest.h>

#include <map>

#include "frontends/control/recording_control.h"

namespace fennick {
namespace {

using frontends::Arguments;
using frontends::Value;

// Texts typed into the fields, and every change of OK, in order.
class RecordingView : public Form1View {
  public:
    RecordingView() {
        for (const ComboSpec& combo : combos()) texts[combo.field] = combo.initialText;
    }
    std::string text(Field field) const override { return texts.at(field); }
    void setOkEnabled(bool enabled) override {
        okEnabled = enabled;
        events.push_back(enabled ? "enable" : "disable");
    }
    void showOkColour(const ui::Colour& c, std::string_view why) override {
        colour = c;
        note = why;
        events.push_back(c == ui::kButtonFace ? "face" : c == ui::kGreen ? "green" : "red");
    }
    void closeWindow() override { events.push_back("close"); }

    std::map<Field, std::string> texts{{Field::Address, ""}};
    bool okEnabled = false;
    ui::Colour colour = ui::kButtonFace;
    std::string note;
    std::vector<std::string> events;
};

class Port2Logic : public ::testing::Test {
  protected:
    Port2Logic() {
        fake.log().answer = [this](int, const Arguments&) { return answer; };
    }
    void typeAddress(const std::string& address) {
        view.texts[Field::Address] = address;
        window.addressChanged();
    }

    frontends::RecordingRegistration fake{frontends::kLumetraControlName};
    Value answer = std::int16_t(1);
    RecordingView view;
    Form1Logic window{view};
};

TEST_F(Port2Logic, OkStartsDisabledAndDoesNothingUntilTheAddressChanges) {
    EXPECT_FALSE(window.okEnabled());
    window.okPressed();
    EXPECT_TRUE(fake.log().calls.empty());
    EXPECT_TRUE(view.events.empty());
}

TEST_F(Port2Logic, OkSendsTheSixValuesTypedAsTheControlTakesThem) {
    typeAddress("127.0.0.9");
    EXPECT_EQ(view.events, (std::vector<std::string>{"enable", "face"}));
    window.okPressed();
    ASSERT_EQ(fake.log().calls.size(), 1u);
    EXPECT_EQ(fake.log().calls[0].dispatchId, 1);
    const Arguments defaults{std::string("127.0.0.9"), std::int32_t(9600), std::int16_t(8),
                             std::string("None"),      std::int16_t(1),    std::string("Hardware")};
    EXPECT_EQ(fake.log().calls[0].args, defaults);
    EXPECT_EQ(view.events, (std::vector<std::string>{"enable", "face", "disable", "green"}));

    // Typed texts, passed as typed; numbers with blanks around them.
    view.texts = {{Field::Address, ""},    {Field::DataRate, " 19200"},
                  {Field::DataBits, "7"},  {Field::Parity, "Even"},
                  {Field::StopBits, "2 "}, {Field::FlowControl, "Xon / Xoff"}};
    window.itemPicked();
    window.okPressed();
    ASSERT_EQ(fake.log().calls.size(), 2u);
    const Arguments typed{std::string(""),     std::int32_t(19200), std::int16_t(7),
                          std::string("Even"), std::int16_t(2),     std::string("Xon / Xoff")};
    EXPECT_EQ(fake.log().calls[1].args, typed);
}

TEST_F(Port2Logic, TheAnswerColoursOkWhichStaysDisabledUntilAnEditOrAPick) {
    struct Case {
        Value result;
        ui::Colour colour;
        const char* note;
    };
    const Case cases[] = {
        {std::int16_t(1), ui::kGreen, ""},
        {std::int16_t(-1), ui::kGreen, ""},
        {std::int32_t(7), ui::kGreen, ""},
        {std::int16_t(0), ui::kRed, "The unit was not reached."},
        {Value(), ui::kRed, "The call to the control failed."},
        {std::int32_t(70000), ui::kRed, "The call to the control failed."},
        {std::string("no number"), ui::kRed, "The call to the control failed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(frontends::describe(c.result));
        answer = c.result;
        typeAddress("unit");
        window.okPressed();
        EXPECT_EQ(view.colour, c.colour);
        EXPECT_EQ(view.note, c.note);
        EXPECT_FALSE(view.okEnabled);
        window.okPressed();  // disabled: no second call
    }
    EXPECT_EQ(fake.log().calls.size(), std::size(cases));

    view.events.clear();
    window.itemPicked();
    EXPECT_EQ(view.events, (std::vector<std::string>{"face", "enable"}));
    EXPECT_TRUE(window.okEnabled());
}

TEST_F(Port2Logic, ABadNumberTurnsOkRedWithoutACall) {
    struct Case {
        Field field;
        const char* text;
        const char* note;
    };
    const Case cases[] = {
        {Field::DataRate, "96OO",
         "Data Rate must be a whole number from -2147483648 to 2147483647."},
        {Field::DataRate, "2147483648", "Data Rate must be"},
        {Field::DataRate, "", "Data Rate must be"},
        {Field::DataBits, "32768", "Data Bits must be a whole number from -32768 to 32767."},
        {Field::DataBits, "8.5", "Data Bits must be"},
        {Field::StopBits, "one", "Stop Bits must be"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingView fresh;
        Form1Logic bad(fresh);
        fresh.texts[c.field] = c.text;
        bad.addressChanged();
        bad.okPressed();
        EXPECT_EQ(fresh.colour, ui::kRed);
        EXPECT_FALSE(fresh.okEnabled);
        EXPECT_EQ(fresh.note.rfind(c.note, 0), 0u) << fresh.note;
    }
    EXPECT_TRUE(fake.log().calls.empty());
}

TEST(Port2LogicControl, WithoutAControlOkTurnsRedAndExitCallsNothing) {
    RecordingView view;
    Form1Logic window(view);
    window.addressChanged();
    window.okPressed();
    EXPECT_EQ(view.colour, ui::kRed);
    EXPECT_EQ(view.note, "No LUMETRALib.Lumetra control is available.");

    frontends::RecordingRegistration fake(frontends::kLumetraControlName);
    RecordingView second;
    Form1Logic exiting(second);
    exiting.addressChanged();
    exiting.exitPressed();
    EXPECT_EQ(second.events.back(), "close");
    EXPECT_TRUE(fake.log().calls.empty());
}

}  // namespace
}  // namespace fennick

namespace fennick {
namespace {

// A control that cannot reach its library says why; the note on OK says it.
class MissingLibraryControl : public frontends::Control {
  public:
    frontends::Value invoke(int, frontends::Arguments&) override { return {}; }
    std::string problem() const override { return "cannot load 'C:\\Suite\\Lumetra.dll'"; }
};

TEST(Port2LogicWithoutLibrary, TheNoteNamesTheMissingFile) {
    frontends::registerControl(frontends::kLumetraControlName,
                               [] { return std::make_unique<MissingLibraryControl>(); });
    RecordingView view;
    Form1Logic window{view};
    view.texts[Field::Address] = "127.0.0.1";
    window.addressChanged();
    window.okPressed();
    frontends::unregisterControl(frontends::kLumetraControlName);
    EXPECT_EQ(view.colour, kNotSentColour);
    EXPECT_EQ(view.note, "The call to the control failed: cannot load 'C:\\Suite\\Lumetra.dll'.");
}

}  // namespace
}  // namespace fennick
