// SPDX-License-Identifier: Apache-2.0
// A terminal that does not echo what is typed (a password), for as long as
// the object lives; echo comes back whatever happens.
#pragma once

#include <cstdio>

namespace platform {

class EchoOff {
  public:
    explicit EchoOff(std::FILE* terminal);
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    int fd_;
    bool active_ = false;
    unsigned saved_ = 0;  // the terminal's local flags before
};

}  // namespace platform
