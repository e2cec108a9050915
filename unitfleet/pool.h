// SPDX-License-Identifier: Apache-2.0
// A pool of worker threads that works through the indexes 0..count-1, each
// index once. Each worker holds one client session of its own, so a unit
// that never answers holds only its worker, and only until its time-out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "protocol/client_session.h"
#include "unitfleet/run_control.h"

namespace unitfleet {

using IndexFn = std::function<void(std::size_t index, protocol::ClientSession& session)>;

// Calls `work` for every index from at most `workers` threads at once and
// returns when all are done: the first index not taken (`count` when every
// one was). Indexes are left undone when not even one thread can be started
// (the reason in `error`; threads that did start take every index) or when
// a stop signal came (platform/stop_signals.h), or `control` asked the run
// to stop: from then on no index is taken.
std::size_t forEachIndex(std::size_t count, int workers, const IndexFn& work, std::string& error,
                         const RunControl* control = nullptr);

}  // namespace unitfleet
