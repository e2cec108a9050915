// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/login_limiter.h"

#include <algorithm>

namespace unitfleetd {

bool LoginLimiter::full(Failures& failures, const std::string& key, Clock::time_point now) {
    auto it = failures.find(key);
    if (it == failures.end())
        return false;
    auto& times = it->second;
    while (!times.empty() && now - times.front() >= kWindow) times.pop_front();
    return static_cast<int>(times.size()) >= kMaxFailures;
}

// Entries of addresses that stopped trying are dropped once a window, so a
// spray from many addresses cannot grow the maps for ever.
void LoginLimiter::forgetOld(Clock::time_point now) {
    if (now - lastSweep_ < kWindow)
        return;
    lastSweep_ = now;
    for (Failures* f : {&byAddress_, &byUser_})
        for (auto it = f->begin(); it != f->end();)
            it = !it->second.empty() && now - it->second.back() < kWindow ? std::next(it)
                                                                          : f->erase(it);
}

bool LoginLimiter::allowed(const std::string& address, const std::string& user,
                           Clock::time_point now) {
    forgetOld(now);
    return !full(byAddress_, address, now) && !full(byUser_, user, now);
}

void LoginLimiter::failed(const std::string& address, const std::string& user,
                          Clock::time_point now) {
    byAddress_[address].push_back(now);
    byUser_[user].push_back(now);
}

void LoginLimiter::forgive(const std::string& address, const std::string& user,
                           Clock::time_point at) {
    for (auto [failures, key] : {std::pair{&byAddress_, &address}, std::pair{&byUser_, &user}}) {
        auto it = failures->find(*key);
        if (it == failures->end())
            continue;
        auto& times = it->second;
        if (auto t = std::find(times.begin(), times.end(), at); t != times.end())
            times.erase(t);
    }
}

}  // namespace unitfleetd
