// SPDX-License-Identifier: Apache-2.0
// unitfleetd's configuration: one JSON file (comments allowed), read with
// nlohmann-json. Every key is checked; an unknown key is a fault, so a typo
// never silently leaves a default in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace unitfleetd {

inline constexpr const char* kDefaultConfigPath = "/etc/unitsuite/unitfleetd.conf";

struct ListenAddress {
    std::string host = "127.0.0.1";  // a dotted IPv4 address
    std::uint16_t port = 8443;
    bool loopback() const;
};

struct BackupSchedule {
    bool enabled = true;
    int hour = 2, minute = 0;     // local time of the daily run
    double everySeconds = 0;      // above 0: a run this often instead, the first this long after start
    double jitterSeconds = 1800;  // each day's run starts up to this much later
    bool operator==(const BackupSchedule&) const = default;
};

struct Config {
    std::string path;  // the file it came from
    std::string inventory;
    std::string storeFolder;
    std::string stateFolder;
    ListenAddress listen;
    std::string tlsCertificate;  // both empty: plain HTTP
    std::string tlsKey;
    bool insecure = false;       // plain HTTP on a non-loopback address
    bool metricsPublic = false;  // /metrics without a session or token
    double statusIntervalSeconds = 60;
    BackupSchedule backup;
    std::map<std::string, std::string> baselines;  // group -> ini file
    int concurrency = 32;
    double unitTimeoutSeconds = 5;
    // The HTTP front: each connection's time-outs and the limits on it.
    double idleTimeoutSeconds = 60;     // waiting for a request's first byte
    double requestTimeoutSeconds = 10;  // a whole request, first byte to last
    double writeTimeoutSeconds = 10;    // a whole answer
    int maxConnections = 512;
    std::size_t maxHeaderBytes = 8192;
    std::size_t maxBodyBytes = 1 << 20;

    bool tls() const { return !tlsCertificate.empty(); }
};

// Parses and checks `text`; every fault found goes to `errors` ("FILE: key:
// why") and the result is then empty.
std::optional<Config> parseConfig(const std::string& text, const std::string& path,
                                  std::vector<std::string>& errors);

// Reads and parses the file at `path`.
std::optional<Config> loadConfig(const std::string& path, std::vector<std::string>& errors);

// Faults of a configuration as a whole that a server cannot start with
// (plain HTTP on a non-loopback address without `insecure`).
std::vector<std::string> startFaults(const Config& config);

}  // namespace unitfleetd
