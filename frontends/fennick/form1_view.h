// What the "Configure Port 2" window logic needs of a window toolkit: the
// texts of its fields, OK's state and colour, and closing. The Qt and Win32
// views implement it; the logic decides everything else.
#pragma once

#include <string>
#include <string_view>

namespace fennick {

// The fields whose texts OK sends, in the order of the control's arguments.
enum class Field { Address, DataRate, DataBits, Parity, StopBits, FlowControl };

// OK's background: the system button face, or the answer's colour.
enum class OkColour { ButtonFace, Sent, NotSent };

struct Rgb {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The exact answer colours: pure green, pure red.
inline constexpr Rgb kSentColour{0, 255, 0};
inline constexpr Rgb kNotSentColour{255, 0, 0};

class Form1View {
  public:
    virtual ~Form1View() = default;
    // The text of `field` as it is now (typed or picked).
    virtual std::string text(Field field) const = 0;
    virtual void setOkEnabled(bool enabled) = 0;
    // OK's background, with a note on why it is red (empty: none) that the
    // view shows where it can (a tool tip).
    virtual void showOkColour(OkColour colour, std::string_view why) = 0;
    // Ends the window (and with it the program).
    virtual void closeWindow() = 0;
};

}  // namespace fennick
