// SPDX-License-Identifier: Apache-2.0
#include "loadgen/load_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace loadgen {

namespace {

std::string format(const char* pattern, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

std::string pacing(const LoadPlan& plan) {
    std::string text =
        plan.rate > 0 ? format("%g/s", plan.rate) : format("%zu at once", plan.concurrency);
    if (plan.count)
        text += format(", %zu requests", plan.count);
    if (plan.duration.count())
        text += format(", for at most %.3g s", plan.duration.count() / 1000.0);
    return text;
}

std::string units(const LoadPlan& plan) {
    if (plan.sources.empty())
        return "any local address";
    if (plan.sources.size() == 1)
        return "1 unit (" + platform::dotted(plan.sources.front()) + ")";
    return format("%zu units (", plan.sources.size()) + platform::dotted(plan.sources.front()) + "-" +
           platform::dotted(plan.sources.back()) + ")";
}

double perSecond(const LoadResult& r) {
    return r.seconds > 0 ? static_cast<double>(r.answered) / r.seconds : 0;
}

// Milliseconds to the microsecond, as the report has always shown them.
double roundedMs(double ms) {
    return std::round(ms * 1000) / 1000;
}

}  // namespace

Percentiles percentiles(std::vector<double> values) {
    Percentiles p;
    if (values.empty())
        return p;
    std::sort(values.begin(), values.end());
    auto rank = [&](double q) {
        auto n = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
        return values[std::clamp<std::size_t>(n, 1, values.size()) - 1];
    };
    p.p50 = rank(0.50);
    p.p90 = rank(0.90);
    p.p99 = rank(0.99);
    p.max = values.back();
    return p;
}

std::string loadTable(const LoadPlan& plan, const LoadResult& r) {
    Percentiles p = percentiles(r.replyMs);
    std::string t = "unitsim load: " + plan.host + format(":%u", unsigned{plan.port}) + " from " +
                    units(plan) + ", " + pacing(plan) + "\n";
    t += format("  %-22s %10zu\n", "sent", r.sent);
    t += format("  %-22s %10zu\n", "answered", r.answered);
    if (r.checked) {
        t += format("    %-20s %10zu\n", "right", r.answered - r.wrong);
        t += format("    %-20s %10zu\n", "wrong", r.wrong);
    }
    t += format("  %-22s %10zu   (no whole frame or text)\n", "malformed", r.malformed);
    t += format("  %-22s %10zu\n", "failed", r.failed);
    for (const auto& [why, count] : r.failures)
        t += "    " + why + format("%*zu\n", std::max(1, 31 - static_cast<int>(why.size())), count);
    t += format("  %-22s %10zu   (over 2 ms after their time; the latest %.1f ms)\n", "late sends",
                r.late, r.latestMs);
    t += format("  reply time (ms)   50%% %8.2f   90%% %8.2f   99%% %8.2f   max %8.2f\n", p.p50,
                p.p90, p.p99, p.max);
    t += format("  %.2f s, %.0f answers/s\n", r.seconds, perSecond(r));
    for (const std::string& sample : r.wrongSamples) t += "  wrong: " + sample + "\n";
    for (const std::string& sample : r.malformedSamples) t += "  malformed: " + sample + "\n";
    return t;
}

std::string loadJson(const LoadPlan& plan, const LoadResult& r) {
    Percentiles p = percentiles(r.replyMs);
    nlohmann::ordered_json j;
    j["host"] = plan.host;
    j["port"] = plan.port;
    j["units"] = plan.sources.size();
    j["rate"] = plan.rate;
    j["concurrency"] = plan.rate > 0 ? std::size_t{0} : plan.concurrency;
    j["sent"] = r.sent;
    j["answered"] = r.answered;
    if (r.checked) {
        j["right"] = r.answered - r.wrong;
        j["wrong"] = r.wrong;
    }
    j["malformed"] = r.malformed;
    j["failed"] = r.failed;
    j["failures"] = nlohmann::ordered_json::object();
    for (const auto& [why, count] : r.failures) j["failures"][why] = count;
    j["late"] = r.late;
    j["latest_ms"] = roundedMs(r.latestMs);
    j["reply_ms"] = {{"p50", roundedMs(p.p50)},
                     {"p90", roundedMs(p.p90)},
                     {"p99", roundedMs(p.p99)},
                     {"max", roundedMs(p.max)}};
    j["seconds"] = roundedMs(r.seconds);
    j["answers_per_second"] = std::round(perSecond(r) * 10) / 10;
    if (!r.wrongSamples.empty())
        j["wrong_samples"] = r.wrongSamples;
    if (!r.malformedSamples.empty())
        j["malformed_samples"] = r.malformedSamples;
    // Unit text may hold any byte: never let a byte that is no UTF-8 stop the report.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string progressLine(const LoadResult& r) {
    return format("sent %zu  answered %zu  wrong %zu  malformed %zu  failed %zu  late %zu", r.sent,
                  r.answered, r.wrong, r.malformed, r.failed, r.late);
}

}  // namespace loadgen
