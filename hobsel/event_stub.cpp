// Stand-in until event answers and the touch demo are built: events are
// logged by the serving path and otherwise left unanswered, and the demo is
// always idle and ignores its input.
#include "hobsel/seams.h"

namespace hobsel {

void processEvent(Context&, protocol::ConstBytes, net::Ipv4, std::span<char>) {}

bool touchDemoIdle(const Context&) {
    return true;
}

void touchDemoSwipeOrScan(Context&, std::string_view) {}

}  // namespace hobsel
