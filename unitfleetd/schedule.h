// SPDX-License-Identifier: Apache-2.0
// When the scheduled work runs: the status poll every `status_interval`, the
// backup once a day at `backup.daily_at` local time plus a jitter drawn anew
// each day from [0, backup.jitter] seconds, so that many daemons started
// from one configuration do not all ask their units at the same second.
#pragma once

#include <ctime>

namespace unitfleetd {

// Seconds from `now` (local time) to the next HH:MM: later today, else
// tomorrow; a whole day when it is HH:MM:00 now. A day is taken as 86,400
// seconds: across a change of summer time the run comes an hour early or late.
double secondsUntilDaily(const std::tm& now, int hour, int minute);

// A jitter in [0, most] seconds, uniform, from the system's random source.
double drawJitter(double most);

}  // namespace unitfleetd
