// SPDX-License-Identifier: Apache-2.0
// When the scheduled work runs: the status poll every `status_interval`, the
// backup once a day at `backup.daily_at` local time (or every
// `backup.every` seconds) plus a jitter drawn anew for each run from
// [0, backup.jitter] seconds, so that many daemons started from one
// configuration do not all ask their units at the same second.
#pragma once

#include <ctime>

namespace unitfleetd {

// The first HH:MM:00 local time later than `now`: today's, else
// tomorrow's. Days are counted on the calendar, so the day a change of
// summer time falls in lasts 23 or 25 hours; a time that change skips is
// run an hour later (02:30 becomes 03:30).
std::time_t nextDailyRun(std::time_t now, int hour, int minute);

// HH:MM on the calendar day after the one `run` fell on: the run after
// `run`, even when the hour of a change back to winter time comes twice.
std::time_t followingDailyRun(std::time_t run, int hour, int minute);

// A jitter in [0, most] seconds, uniform, from the system's random source.
double drawJitter(double most);

}  // namespace unitfleetd
