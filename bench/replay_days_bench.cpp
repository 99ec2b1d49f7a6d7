// Days replayed per second: one day played under the three policies at six thresholds. A whole
// LSApp-size trace (292 people x 15 days = 4380 days) in under a minute needs 73 days a second.
#include "tools/replay/replay.h"
#include "tools/replay/synthetic.h"

#include <benchmark/benchmark.h>

namespace {

void ReplayDaySixThresholdsThreePolicies(benchmark::State& state)
{
    auto days = replay::Synthetic(1).days(10, 10);
    replay::Footprints footprints(1);
    replay::Replay replayer({ 1024, 512 }, footprints);
    std::vector<std::unique_ptr<replay::Policy>> policies;
    for (const std::string& name : replay::policyNames())
        policies.push_back(replay::makePolicy(name));
    std::size_t next = 0;
    long closes = 0;
    for (auto _ : state) {
        const replay::Day& day = days[next++ % days.size()];
        for (auto& policy : policies)
            for (int threshold : { 50, 100, 150, 200, 250, 300 })
                closes += replayer.play(day, *policy, threshold).closes;
    }
    benchmark::DoNotOptimize(closes);
    state.counters["days/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["LSApp-size trace s"]
        = benchmark::Counter(double(state.iterations()) / 4380.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ReplayDaySixThresholdsThreePolicies)->Unit(benchmark::kMicrosecond);

} // namespace
