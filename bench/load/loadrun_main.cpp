// SPDX-License-Identifier: Apache-2.0
// loadrun: requests per second of a host server on a loopback address, and
// optionally of the bare loop beside it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/load/load_driver.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: loadrun [--requests N] [--text TEXT] [--bare PORT] HOST PORT\n"
                 "  Sends N requests (default 10000) to HOST:PORT, one connection each: TEXT\n"
                 "  and its zero byte, then reads the answer until the server closes.\n"
                 "  --bare PORT  also runs a bare accept/receive/send/close loop on\n"
                 "               HOST:PORT (its own process) with the same load and prints the ratio.\n"
                 "  HOST must be a loopback address (127.0.0.0/8).\n");
}

void print(const char* name, const load::LoadResult& r) {
    std::printf("%-8s %zu answered, %zu failed, %.3f s, %.0f requests/s\n", name, r.completed,
                r.failed, r.seconds, r.perSecond());
}

}  // namespace

int main(int argc, char** argv) {
    load::LoadOptions options;
    std::string text = "1234567890";
    int barePort = 0;
    std::string positional[2];
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (arg == "--requests" && i + 1 < argc) {
            options.requests = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--text" && i + 1 < argc) {
            text = argv[++i];
        } else if (arg == "--bare" && i + 1 < argc) {
            barePort = std::atoi(argv[++i]);
        } else if (count < 2 && arg[0] != '-') {
            positional[count++] = arg;
        } else {
            usage();
            return 2;
        }
    }
    if (count != 2 || options.requests == 0 || options.requests > 1000000) {
        usage();
        return 2;
    }
    options.host = positional[0];
    options.port = static_cast<std::uint16_t>(std::atoi(positional[1].c_str()));
    options.request.assign(text.begin(), text.end());
    options.request.push_back(0);

    load::LoadResult server = load::runLoad(options);
    if (!server.error.empty()) {
        std::fprintf(stderr, "loadrun: %s\n", server.error.c_str());
        return 1;
    }
    print("server", server);
    if (barePort > 0) {
        load::BareServerProcess bare(options.host, static_cast<std::uint16_t>(barePort),
                                     load::Bytes{'o', 'k', 0});
        if (!bare.started()) {
            std::fprintf(stderr, "loadrun: the bare loop could not listen on %s:%d\n",
                         options.host.c_str(), barePort);
            return 1;
        }
        options.port = static_cast<std::uint16_t>(barePort);
        load::LoadResult floor = load::runLoad(options);
        print("bare", floor);
        if (floor.perSecond() > 0) {
            std::printf("ratio    %.2f\n", server.perSecond() / floor.perSecond());
        }
    }
    return server.failed == 0 ? 0 : 1;
}
