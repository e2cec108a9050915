#include "unitfleet/console.h"

#include <unistd.h>

namespace unitfleet {

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

std::tm localTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return parts;
}

}  // namespace unitfleet
