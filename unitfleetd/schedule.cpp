// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/schedule.h"

#include <random>

namespace unitfleetd {

double secondsUntilDaily(const std::tm& now, int hour, int minute) {
    constexpr double kDay = 86400;
    double at = hour * 3600.0 + minute * 60.0;
    double current = now.tm_hour * 3600.0 + now.tm_min * 60.0 + now.tm_sec;
    double wait = at - current;
    return wait > 0 ? wait : wait + kDay;
}

double drawJitter(double most) {
    if (most <= 0)
        return 0;
    static std::mt19937_64 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0, most)(generator);
}

}  // namespace unitfleetd
