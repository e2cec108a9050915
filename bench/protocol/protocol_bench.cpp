// SPDX-License-Identifier: Apache-2.0
// Frame building/reading and mode-table parsing. Parsing a reply must stay
// linear in the number of modes: the per-mode time at 100k modes should be
// about the same as at 1k.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/modes.h"
#include "protocol/payload.h"

namespace {

std::string modeName(int i) { return "Mode" + std::to_string(i * 7919 % 1000003); }

std::string definitionReply(int modes) {
    std::string body;
    for (int i = 0; i < modes; ++i) {
        body += modeName(i) + " = STRING,32\tHelp text for mode " + std::to_string(i) + "\r\n";
    }
    return body;
}

std::string valueReply(int modes) {
    std::string body;
    // Upper case and reversed order so every lookup exercises the
    // case-insensitive index rather than a lucky scan position.
    for (int i = modes - 1; i >= 0; --i) {
        std::string name = modeName(i);
        for (char& c : name) c = static_cast<char>(std::toupper(c));
        body += name + " = value " + std::to_string(i) + "\r\n";
    }
    return body;
}

void BM_BuildQuery(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(102400);
    for (auto _ : state) {
        benchmark::DoNotOptimize(protocol::buildQuery(buffer, "UnitID = Wistrel5"));
    }
}
BENCHMARK(BM_BuildQuery);

void BM_BuildDisplayText(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(8192);
    for (auto _ : state) {
        benchmark::DoNotOptimize(protocol::buildDataText(
            buffer, protocol::DataSubtype::DisplayText, "Price 4.99", protocol::kHostTextPadding));
    }
}
BENCHMARK(BM_BuildDisplayText);

void BM_ReadFrame(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(8192);
    std::size_t n = protocol::buildEvent(buffer, {0x10, 0, 1, 0x10, 3, 4, "text"});
    protocol::ConstBytes bytes(buffer.data(), n);
    for (auto _ : state) {
        protocol::Request r = protocol::classifyRequest(bytes);
        auto frame = protocol::FrameView::from(bytes);
        protocol::Event e = protocol::readEvent(*frame);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(protocol::eventNumber(e.newStarts));
    }
}
BENCHMARK(BM_ReadFrame);

void BM_ParseDefinitionsAndValues(benchmark::State& state) {
    int modes = static_cast<int>(state.range(0));
    std::string definitions = definitionReply(modes);
    std::string values = valueReply(modes);
    for (auto _ : state) {
        protocol::ModeTable table;
        table.parseDefinitions(definitions);
        table.fillValues(values, &protocol::ModeRecord::nvram);
        benchmark::DoNotOptimize(table.count());
    }
    state.SetItemsProcessed(state.iterations() * modes);
    // Seconds per mode, printed with an SI prefix (n, u).
    state.counters["per_mode"] = benchmark::Counter(
        modes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseDefinitionsAndValues)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
