// Reading a settings file the size of a full catalogue.
#include "bench/catalogue_settings.h"
#include "platform/foundation/plist/property_list.h"

#include <benchmark/benchmark.h>

namespace {

void ParseSettings(benchmark::State& state)
{
    auto bytes = sv::plist::serializeXml(catalogueSettings(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(sv::plist::parse(bytes.data(), bytes.size()));
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(ParseSettings)->Arg(300)->Unit(benchmark::kMicrosecond);

} // namespace
