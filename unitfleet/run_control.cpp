// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/run_control.h"

#include "platform/stop_signals.h"

namespace unitfleet {

bool stopAsked(const RunControl* control) {
    if (platform::stopSignal() != 0)
        return true;
    return control != nullptr && control->stop && control->stop();
}

}  // namespace unitfleet
