// The chooser with a catalogue of 300 and of 3 000 applications: building the sections
// (doneLoadingApps: the settings file read afresh, then grouped and sorted), and the first
// screenful of rows configured, each icon read from its file.
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/ui/image.h"
#include "settings/never_apps_controller.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>

namespace {

constexpr int kIconSide = 60; // as the home screen draws them

const char* const kWords[] = { "Amber", "atlas", "Beacon", "Birch", "Cobalt", "comet", "Delta", "Ember", "Falcon", "Garnet",
                               "Harbor", "Indigo", "Jasper", "Kestrel", "Lumen", "Maple", "Nimbus", "Onyx", "Pixel", "Quartz",
                               "Raven", "Saffron", "Tundra", "Umber", "Velvet", "Willow", "Xenon", "Yarrow", "Zephyr", "\xC3\xA9" "clair" };

// A device with a catalogue of n applications, each with its icon file, and a Never screen on it.
class Device {
public:
    static Device& withApplications(int n)
    {
        auto& device = devices()[n];
        if (!device) {
            device.reset(new Device(n));
            // Gone before the platform's own statics (the notification centre, the device root)
            // that the screens and roots still use as they go.
            static bool cleanup = (std::atexit([] { devices().clear(); }), true);
            (void)cleanup;
        }
        sv::fs::setDeviceRoot(device->root_.path());
        return *device;
    }

    SLVNeverAppsController& screen() { return *screen_; }

private:
    static std::map<int, std::unique_ptr<Device>>& devices()
    {
        static std::map<int, std::unique_ptr<Device>> all;
        return all;
    }

    explicit Device(int n)
    {
        auto png = sv::ui::Image::create(kIconSide, kIconSide)->pngData();
        sv::Array records;
        for (int i = 0; i < n; ++i) {
            std::string id = "com.example.app" + std::to_string(i);
            std::string name = std::string(kWords[i % std::size(kWords)]) + " " + std::to_string(i * 7919 % n);
            records.push_back(slv::applicationRecord(name, id, slv::iconImagePath(id)));
            sv::test::writeHostFile(root_.host(slv::iconImagePath(id)), std::string(png->begin(), png->end()));
        }
        sv::plist::writeFile(slv::settingsPath(), sv::Value(sv::Dictionary { { "ApplicationData", sv::Value(records) } }));
        screen_ = SLVNeverAppsController::initForContentSize({ 320, 416 });
        screen_->checkApps();
    }

    sv::test::DeviceRoot root_;
    std::shared_ptr<SLVNeverAppsController> screen_;
};

void BM_SectionBuilding(benchmark::State& state)
{
    auto& screen = Device::withApplications(static_cast<int>(state.range(0))).screen();
    for (auto _ : state) {
        screen.doneLoadingApps();
        benchmark::DoNotOptimize(screen.appNamesArray.data());
    }
    state.counters["sections"] = static_cast<double>(screen.indexArray.size());
}
BENCHMARK(BM_SectionBuilding)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);

// The share of the above that is reading the settings file.
void BM_CatalogueRead(benchmark::State& state)
{
    Device::withApplications(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(slv::readSettings());
}
BENCHMARK(BM_CatalogueRead)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_FirstScreenfulOfRows(benchmark::State& state)
{
    auto& screen = Device::withApplications(static_cast<int>(state.range(0))).screen();
    auto& table = *screen.appTable;
    for (auto _ : state) {
        table.reloadData();
        table.layoutIfNeeded();
        benchmark::DoNotOptimize(table.cellForRowAtIndexPath({ 0, 0 }).get());
    }
    state.counters["rows"] = static_cast<double>(table.indexPathsForVisibleRows().size());
}
BENCHMARK(BM_FirstScreenfulOfRows)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);

} // namespace
