// SPDX-License-Identifier: Apache-2.0
// Limits login attempts: after kMaxFailures wrong passwords within the
// window from one address, or for one user name, every further attempt is
// refused without checking the password until the oldest failure ages out.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <string>

namespace unitfleetd {

class LoginLimiter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxFailures = 10;
    static constexpr std::chrono::seconds kWindow{60};

    // May an attempt from `address` for `user` be checked now?
    bool allowed(const std::string& address, const std::string& user, Clock::time_point now);
    void failed(const std::string& address, const std::string& user, Clock::time_point now);
    // Takes back the failure noted at `at` for an attempt that succeeded.
    void forgive(const std::string& address, const std::string& user, Clock::time_point at);

  private:
    using Failures = std::map<std::string, std::deque<Clock::time_point>>;
    static bool full(Failures& failures, const std::string& key, Clock::time_point now);
    void forgetOld(Clock::time_point now);
    Failures byAddress_, byUser_;
    Clock::time_point lastSweep_{};
};

}  // namespace unitfleetd
