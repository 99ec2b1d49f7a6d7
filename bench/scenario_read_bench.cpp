// Reading one long scenario line: time must grow with its length, not with its square.
#include "hosts/common/scenario.h"
#include "platform/foundation/run_loop.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

void ReadLongLine(benchmark::State& state)
{
    // A comment: read and split like any line, executed as nothing.
    std::string text = "#" + std::string(static_cast<std::size_t>(state.range(0)) - 2, 'x') + "\n";
    char path[] = "/tmp/svbench.XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        state.SkipWithError("cannot write the scenario");
        return;
    }
    ::close(fd);
    for (auto _ : state) {
        // A loop runs until it is stopped, once: a fresh one for every run.
        sv::RunLoop loop;
        sv::host::Scenario scenario("bench", loop);
        benchmark::DoNotOptimize(scenario.run(::open(path, O_RDONLY | O_CLOEXEC)));
    }
    ::unlink(path);
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(ReadLongLine)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Complexity()->Unit(benchmark::kMillisecond);

} // namespace
