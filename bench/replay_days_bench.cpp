// Days replayed per second: one day played as the tool plays it, under every policy at six
// thresholds, on a device with the system's own killer. A 2-million-line LSApp trace (about
// 7 500 days as the generator writes them) in under a minute needs 125 days a second.
#include "playback/run.h"
#include "playback/synthetic.h"

#include <benchmark/benchmark.h>

namespace {

// Every policy, four now; the name stays as it was, so that runs before and after compare.
void ReplayDaySixThresholdsThreePolicies(benchmark::State& state)
{
    auto days = replay::Synthetic(1).days(10, 10);
    replay::Footprints footprints;
    replay::Replay replayer({ 1024, 512 }, footprints);
    replay::Player player(replayer, replay::policyNames(), { 50, 100, 150, 200, 250, 300 });
    std::size_t next = 0;
    long closes = 0;
    for (auto _ : state) {
        for (const replay::Figures& f : player.play({ days[next++ % days.size()] }))
            closes += f.closes;
    }
    benchmark::DoNotOptimize(closes);
    state.counters["days/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["2M-line trace s"]
        = benchmark::Counter(double(state.iterations()) / 7500.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ReplayDaySixThresholdsThreePolicies)->Unit(benchmark::kMicrosecond);

} // namespace
