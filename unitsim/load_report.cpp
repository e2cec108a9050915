// The load run's report: a table for people, JSON for scripts, and the
// progress line shown on a terminal.
#include <cstdio>

#include "unitsim/load.h"

namespace unitsim {

namespace {

std::string format(const char* pattern, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += '\\', out += static_cast<char>(c);
        else if (c < 0x20)
            out += format("\\u%04x", c);
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
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
        return "1 unit (" + net::dotted(plan.sources.front()) + ")";
    return format("%zu units (", plan.sources.size()) + net::dotted(plan.sources.front()) + "-" +
           net::dotted(plan.sources.back()) + ")";
}

double perSecond(const LoadResult& r) {
    return r.seconds > 0 ? static_cast<double>(r.answered) / r.seconds : 0;
}

}  // namespace

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
    t += format("  %-22s %10zu\n", "failed", r.failed);
    for (const auto& [why, count] : r.failures)
        t += "    " + why + format("%*zu\n", std::max(1, 31 - static_cast<int>(why.size())), count);
    t += format("  %-22s %10zu   (over 2 ms after their time; the latest %.1f ms)\n", "late sends",
                r.late, r.latestMs);
    t += format("  reply time (ms)   50%% %8.2f   90%% %8.2f   99%% %8.2f   max %8.2f\n", p.p50,
                p.p90, p.p99, p.max);
    t += format("  %.2f s, %.0f answers/s\n", r.seconds, perSecond(r));
    for (const std::string& sample : r.wrongSamples) t += "  wrong: " + sample + "\n";
    return t;
}

std::string loadJson(const LoadPlan& plan, const LoadResult& r) {
    Percentiles p = percentiles(r.replyMs);
    std::string j = "{\"host\": " + jsonString(plan.host) + format(", \"port\": %u", plan.port);
    j += format(", \"units\": %zu", plan.sources.size());
    j += format(", \"rate\": %g, \"concurrency\": %zu", plan.rate,
                plan.rate > 0 ? std::size_t{0} : plan.concurrency);
    j += format(", \"sent\": %zu, \"answered\": %zu", r.sent, r.answered);
    if (r.checked)
        j += format(", \"right\": %zu, \"wrong\": %zu", r.answered - r.wrong, r.wrong);
    j += format(", \"failed\": %zu, \"failures\": {", r.failed);
    bool first = true;
    for (const auto& [why, count] : r.failures) {
        j += (first ? "" : ", ") + jsonString(why) + format(": %zu", count);
        first = false;
    }
    j += format("}, \"late\": %zu, \"latest_ms\": %.3f", r.late, r.latestMs);
    j += format(", \"reply_ms\": {\"p50\": %.3f, \"p90\": %.3f, \"p99\": %.3f, \"max\": %.3f}",
                p.p50, p.p90, p.p99, p.max);
    j += format(", \"seconds\": %.3f, \"answers_per_second\": %.1f}\n", r.seconds, perSecond(r));
    return j;
}

std::string progressLine(const LoadResult& r) {
    return format("sent %zu  answered %zu  wrong %zu  failed %zu  late %zu", r.sent, r.answered,
                  r.wrong, r.failed, r.late);
}

}  // namespace unitsim
