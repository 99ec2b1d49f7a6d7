// Reading a settings file the size of a full catalogue.
#include "contract/settings_contract.h"
#include "platform/foundation/property_list.h"

#include <benchmark/benchmark.h>

namespace {

sv::Dictionary catalogueSettings(int applications)
{
    sv::Array records, never;
    for (int i = 0; i < applications; ++i) {
        std::string id = "com.example.app" + std::to_string(i);
        records.push_back(slv::applicationRecord("App " + std::to_string(i), id, slv::iconImagePath(id)));
        if (i % 6 == 0)
            never.push_back(slv::identifierEntry(id));
    }
    return { { "ApplicationData", records }, { "NeverIdentifiers", never }, { "ramValue", 120 } };
}

void ParseSettings(benchmark::State& state)
{
    auto bytes = sv::plist::serializeXml(catalogueSettings(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(sv::plist::parse(bytes.data(), bytes.size()));
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(ParseSettings)->Arg(300)->Unit(benchmark::kMicrosecond);

} // namespace
