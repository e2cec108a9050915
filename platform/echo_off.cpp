// SPDX-License-Identifier: Apache-2.0
#include "platform/echo_off.h"

#include <termios.h>

namespace platform {

EchoOff::EchoOff(std::FILE* terminal) : fd_(::fileno(terminal)) {
    termios now{};
    if (::tcgetattr(fd_, &now) != 0)
        return;
    saved_ = static_cast<unsigned>(now.c_lflag);
    now.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(fd_, TCSAFLUSH, &now) == 0;
}

EchoOff::~EchoOff() {
    termios now{};
    if (!active_ || ::tcgetattr(fd_, &now) != 0)
        return;
    now.c_lflag = static_cast<tcflag_t>(saved_);
    ::tcsetattr(fd_, TCSAFLUSH, &now);
}

}  // namespace platform
