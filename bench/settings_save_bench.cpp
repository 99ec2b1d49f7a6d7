// One save of the pane (a slider update): a locked read-modify-write of a settings file that
// already holds a full catalogue and both lists.
#include "contract/settings_contract.h"
#include "settings/app_delegate.h"
#include "settings/settings_store.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

namespace {

void SaveRamValue(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    sv::Array records, never, always;
    for (int i = 0; i < 300; ++i) {
        std::string id = "com.example.app" + std::to_string(i);
        records.push_back(slv::applicationRecord("App " + std::to_string(i), id, slv::iconImagePath(id)));
        if (i < 50) {
            never.push_back(slv::identifierEntry(id));
            always.push_back(slv::identifierEntry(id + ".always"));
        }
    }
    slv::updateSettings([&](sv::Dictionary& settings) {
        settings["ApplicationData"] = records;
        settings["NeverIdentifiers"] = never;
        settings["AlwaysIdentifiers"] = always;
        return true;
    });
    int value = 30;
    for (auto _ : state) {
        value = value >= 300 ? 30 : value + 5;
        slv::store::writeDictToSave(sv::Dictionary { { "ramValue", value } });
    }
}
BENCHMARK(SaveRamValue)->Unit(benchmark::kMillisecond);

} // namespace
