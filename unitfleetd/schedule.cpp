// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/schedule.h"

#include <random>

#include "platform/console.h"

namespace unitfleetd {
namespace {

// HH:MM:00 local time, `days` calendar days after the day of `day`.
std::time_t atOnDay(std::time_t day, int days, int hour, int minute) {
    std::tm at = platform::localTime(day);
    at.tm_mday += days;  // mktime carries it into the month and year
    at.tm_hour = hour;
    at.tm_min = minute;
    at.tm_sec = 0;
    at.tm_isdst = -1;  // as the zone's rules have it on that day
    return std::mktime(&at);
}

}  // namespace

std::time_t nextDailyRun(std::time_t now, int hour, int minute) {
    std::time_t today = atOnDay(now, 0, hour, minute);
    return today > now ? today : atOnDay(now, 1, hour, minute);
}

std::time_t followingDailyRun(std::time_t run, int hour, int minute) {
    return atOnDay(run, 1, hour, minute);
}

double drawJitter(double most) {
    if (most <= 0)
        return 0;
    static std::mt19937_64 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0, most)(generator);
}

}  // namespace unitfleetd
