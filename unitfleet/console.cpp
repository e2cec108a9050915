#include "unitfleet/console.h"

#include <unistd.h>

#include <csignal>

namespace unitfleet {

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::tm localTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return parts;
}

}  // namespace unitfleet
