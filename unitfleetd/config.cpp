// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/config.h"

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "platform/parse.h"
#include "unitfleet/inventory.h"

namespace unitfleetd {
namespace {

using nlohmann::json;

// Reads the keys of one JSON object, noting every fault with its key path.
class ObjectReader {
  public:
    ObjectReader(const json& object, std::string prefix, const std::string& folder,
                 std::vector<std::string>& errors)
        : object_(object), prefix_(std::move(prefix)), folder_(folder), errors_(errors) {}

    void fault(const std::string& key, const std::string& why) {
        errors_.push_back(prefix_ + key + ": " + why);
    }
    const json* find(const std::string& key) {
        known_.push_back(key);
        auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }
    void text(const std::string& key, std::string& out) {
        if (const json* v = find(key)) {
            if (!v->is_string() || v->get<std::string>().empty())
                fault(key, "must be a non-empty string");
            else
                out = v->get<std::string>();
        }
    }
    // A path; a relative one is taken from the configuration file's folder.
    void path(const std::string& key, std::string& out) {
        std::string value;
        text(key, value);
        if (value.empty())
            return;
        std::filesystem::path p(value);
        out = p.is_absolute() ? value
                              : (std::filesystem::path(folder_) / p).lexically_normal().string();
    }
    void flag(const std::string& key, bool& out) {
        if (const json* v = find(key)) {
            if (!v->is_boolean())
                fault(key, "must be true or false");
            else
                out = v->get<bool>();
        }
    }
    void seconds(const std::string& key, double& out, double least, double most) {
        if (const json* v = find(key)) {
            if (!v->is_number() || v->get<double>() < least || v->get<double>() > most)
                fault(key, "must be a number of seconds from " + show(least) + " to " + show(most));
            else
                out = v->get<double>();
        }
    }
    template <typename Int>
    void count(const std::string& key, Int& out, long long least, long long most) {
        if (const json* v = find(key)) {
            if (!v->is_number_integer() || v->get<long long>() < least ||
                v->get<long long>() > most)
                fault(key, "must be a whole number from " + std::to_string(least) + " to " +
                               std::to_string(most));
            else
                out = static_cast<Int>(v->get<long long>());
        }
    }
    // An object under `key`, read by `read`; absent is fine.
    void nested(const std::string& key, const std::function<void(ObjectReader&)>& read) {
        const json* v = find(key);
        if (v == nullptr)
            return;
        if (!v->is_object())
            return fault(key, "must be an object");
        ObjectReader inner(*v, prefix_ + key + ".", folder_, errors_);
        read(inner);
        inner.rejectUnknown();
    }
    void rejectUnknown() {
        for (const auto& [key, value] : object_.items())
            if (std::find(known_.begin(), known_.end(), key) == known_.end())
                fault(key, "unknown key");
    }
    const json& object() const { return object_; }
    const std::string& folder() const { return folder_; }

  private:
    static std::string show(double v) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
        return s;
    }
    const json& object_;
    std::string prefix_;
    const std::string& folder_;
    std::vector<std::string>& errors_;
    std::vector<std::string> known_;
};

void readListen(ObjectReader& r, Config& c) {
    std::string text;
    r.text("listen", text);
    if (text.empty())
        return;
    std::string error;
    auto hostPort = platform::parseHostPort(text, error);
    if (!hostPort || !platform::parseIpv4(hostPort->host) || !hostPort->port || *hostPort->port == 0)
        return r.fault("listen",
                       "must be ADDRESS:PORT with a dotted IPv4 address, not '" + text + "'");
    c.listen.host = hostPort->host;
    c.listen.port = *hostPort->port;
}

void readBackup(ObjectReader& r, Config& c) {
    const json* v = r.find("backup");
    if (v == nullptr)
        return;
    if (v->is_boolean()) {  // true: the defaults, false: no scheduled backup
        c.backup.enabled = v->get<bool>();
        return;
    }
    r.nested("backup", [&](ObjectReader& b) {
        std::string at;
        b.text("daily_at", at);
        if (!at.empty()) {
            int h = -1, m = -1;
            char colon = 0;
            if (at.size() != 5 || std::sscanf(at.c_str(), "%2d%c%2d", &h, &colon, &m) != 3 ||
                colon != ':' || h < 0 || h > 23 || m < 0 || m > 59)
                b.fault("daily_at", "must be HH:MM (00:00 to 23:59), not '" + at + "'");
            else
                c.backup.hour = h, c.backup.minute = m;
        }
        b.seconds("every", c.backup.everySeconds, 1, 7 * 86400);
        if (!at.empty() && b.object().contains("every"))
            b.fault("every", "and daily_at exclude each other: give one");
        b.seconds("jitter", c.backup.jitterSeconds, 0, 6 * 3600);
    });
}

void readBaselines(ObjectReader& r, Config& c) {
    const json* v = r.find("baselines");
    if (v == nullptr)
        return;
    if (!v->is_object())
        return r.fault("baselines", "must be an object of group: ini file");
    for (const auto& [group, file] : v->items()) {
        if (!file.is_string() || file.get<std::string>().empty()) {
            r.fault("baselines." + group, "must be the path of an ini file");
            continue;
        }
        std::filesystem::path p(file.get<std::string>());
        c.baselines[group] =
            p.is_absolute() ? p.string()
                            : (std::filesystem::path(r.folder()) / p).lexically_normal().string();
    }
}

void readAll(ObjectReader& r, Config& c) {
    r.path("inventory", c.inventory);
    r.path("state", c.stateFolder);
    r.path("store", c.storeFolder);
    readListen(r, c);
    r.nested("tls", [&](ObjectReader& t) {
        t.path("certificate", c.tlsCertificate);
        t.path("key", c.tlsKey);
        if (c.tlsCertificate.empty() != c.tlsKey.empty())
            t.fault(c.tlsKey.empty() ? "key" : "certificate", "is needed with the other");
    });
    r.flag("insecure", c.insecure);
    r.flag("metrics_public", c.metricsPublic);
    r.seconds("status_interval", c.statusIntervalSeconds, 1, 86400);
    readBackup(r, c);
    readBaselines(r, c);
    r.count("concurrency", c.concurrency, 1, 1024);
    r.nested("timeouts", [&](ObjectReader& t) {
        t.seconds("unit", c.unitTimeoutSeconds, 0.1, 600);
        t.seconds("idle", c.idleTimeoutSeconds, 0.1, 3600);
        t.seconds("request", c.requestTimeoutSeconds, 0.1, 600);
        t.seconds("write", c.writeTimeoutSeconds, 0.1, 600);
    });
    r.nested("limits", [&](ObjectReader& l) {
        l.count("connections", c.maxConnections, 1, 100000);
        l.count("header_bytes", c.maxHeaderBytes, 1024, 1 << 20);
        l.count("body_bytes", c.maxBodyBytes, 1024, 64 << 20);
    });
    r.rejectUnknown();
    if (!r.object().contains("inventory"))
        r.fault("inventory", "is missing (the file that lists the units)");
    if (c.stateFolder.empty())
        c.stateFolder = "/var/lib/unitfleetd";
    if (c.storeFolder.empty())
        c.storeFolder = (std::filesystem::path(c.stateFolder) / "store").string();
}

}  // namespace

bool ListenAddress::loopback() const {
    auto ip = platform::parseIpv4(host);
    return ip && (*ip >> 24) == 127;
}

std::optional<Config> parseConfig(const std::string& text, const std::string& path,
                                  std::vector<std::string>& errors) {
    json root;
    try {
        // Comments are allowed: a configuration file wants them.
        root = json::parse(text, nullptr, true, true);
    } catch (const json::parse_error& e) {
        errors.push_back(path + ": not valid JSON: " + e.what());
        return std::nullopt;
    }
    if (!root.is_object()) {
        errors.push_back(path + ": must hold one JSON object");
        return std::nullopt;
    }
    Config config;
    config.path = path;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty())
        folder = ".";
    std::vector<std::string> found;
    ObjectReader reader(root, "", folder, found);
    readAll(reader, config);
    for (auto& f : found) errors.push_back(path + ": " + f);
    if (!found.empty())
        return std::nullopt;
    return config;
}

std::optional<Config> loadConfig(const std::string& path, std::vector<std::string>& errors) {
    auto text = unitfleet::readTextFile(path);
    if (!text) {
        errors.push_back("cannot read '" + path + "'");
        return std::nullopt;
    }
    return parseConfig(*text, path, errors);
}

std::vector<std::string> startFaults(const Config& config) {
    std::vector<std::string> faults;
    if (!config.listen.loopback() && !config.tls() && !config.insecure)
        faults.push_back("listen address " + config.listen.host +
                         " is not a loopback address: give tls.certificate and tls.key, or "
                         "--insecure to serve plain HTTP there");
    return faults;
}

}  // namespace unitfleetd
