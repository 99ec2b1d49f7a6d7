// One state change through the library's hook on the close path (three reads of a settings file
// holding a full catalogue and 50-entry lists, one free-memory probe), beside one parse of the
// same file.
#include "closer/sleepwright.h"
#include "closer/app_launch.h"
#include "closer/catalogue_export.h"
#include "closer/sus_app.h"
#include "contract/settings_contract.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/plist/property_list.h"
#include "contract/home_screen.h"
#include "platform/kernel/kernel.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

namespace {

sv::Dictionary fullSettings()
{
    sv::Array records, always, never;
    for (int i = 0; i < 300; ++i) {
        std::string id = "com.example.app" + std::to_string(i);
        records.push_back(slv::applicationRecord("App " + std::to_string(i), id, slv::iconImagePath(id)));
        if (i < 50)
            always.push_back(slv::identifierEntry(id));
        else if (i < 100)
            never.push_back(slv::identifierEntry(id));
    }
    return { { "ApplicationData", records }, { "ApplicationsNumber", 300 }, { "ApplicationsMinus", 0 },
             { "AlwaysIdentifiers", always }, { "NeverIdentifiers", never }, { "ramValue", 100 },
             { "alwaysKill", false } };
}

// A home screen with the library armed and an application that reaches the memory test but is
// not closed (free memory stays above the threshold), so that every call takes the same path.
struct Device {
    Device()
    {
        sv::bundle::setMainBundleIdentifierForTesting("com.apple.springboard");
        sb::registerApplicationClasses();
        sb::registerDeviceClasses();
        Sleepwright_initializer();
        sv::plist::writeFile(slv::settingsPath(), fullSettings());
        sb::Device::shared().installKernelProviders();
        sb::Device::shared().setMemory(1024, 512);
        app = sb::Springboard::shared().application("com.example.unlisted");
        controller = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::ApplicationController),
                                         sv::home::sel::sharedInstance);
    }
    sv::test::DeviceRoot root;
    id app = nullptr;
    id controller = nullptr;
};

Device& device()
{
    static Device instance;
    return instance;
}

void HookClosePath(benchmark::State& state)
{
    Device& d = device();
    if (state.range(0) == 0)
        sb::Device::shared().installKernelProviders();
    else
        sv::kernel::resetProviders(); // the Linux kernel's own figures, read from /proc/meminfo
    for (auto _ : state)
        sv::rt::msgSend<void>(d.controller, sv::home::sel::applicationStateChanged, d.app, 2);
    state.SetLabel(state.range(0) == 0 ? "device probe" : "linux probe");
}
BENCHMARK(HookClosePath)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void ParseSameFile(benchmark::State& state)
{
    device();
    auto bytes = sv::fs::readData(slv::settingsPath());
    for (auto _ : state)
        benchmark::DoNotOptimize(sv::plist::parse(bytes->data(), bytes->size()));
    state.counters["bytes"] = static_cast<double>(bytes->size());
}
BENCHMARK(ParseSameFile)->Unit(benchmark::kMicrosecond);

} // namespace
