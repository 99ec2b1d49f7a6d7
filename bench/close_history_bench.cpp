// What recording a close costs the home screen's thread, as a share of one parse of a settings
// file with a 300-record catalogue measured in the same run. The writer thread's work (read,
// write, fsync, rename of the history) is not on that thread and is not counted.
#include "bench/catalogue_settings.h"
#include "closer/close_history.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The median of several timed parses, in seconds.
double parseSeconds()
{
    auto bytes = sv::plist::serializeXml(catalogueSettings(300));
    std::vector<double> samples;
    for (int i = 0; i < 31; ++i) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(sv::plist::parse(bytes.data(), bytes.size()));
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

void RecordClose(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    sv::fs::createDirectories(slv::path::DataFolder);
    double parse = parseSeconds();
    CloseHistory& history = CloseHistory::shared();
    bool reopen = state.range(0) != 0;
    double onThread = 0;
    std::int64_t closes = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        history.recordClose("com.example.app" + std::to_string(closes % 300), slv::history::reason::LowMemory, 120);
        if (reopen)
            history.noteForeground("com.example.app" + std::to_string(closes % 300));
        onThread += std::chrono::duration<double>(Clock::now() - start).count();
        ++closes;
        // Closes come seconds apart: let the writer keep up, off the clock.
        if (closes % 64 == 0) {
            state.PauseTiming();
            history.flush();
            state.ResumeTiming();
        }
    }
    history.reset();
    state.counters["parse_us"] = parse * 1e6;
    state.counters["ratio_to_parse"] = onThread / static_cast<double>(closes) / parse;
    state.counters["records"] = static_cast<double>(slv::history::read().size());
}
BENCHMARK(RecordClose)->Arg(0)->Arg(1)->ArgName("reopen")->Iterations(20000)->Unit(benchmark::kMicrosecond);

} // namespace
