// The catalogue export of a home screen with 300 applications: the first one on a fresh device
// (every icon drawn, encoded and written) and the next one, which finds nothing changed.
#include "closer/sleepwright.h"
#include "closer/app_launch.h"
#include "closer/catalogue_export.h"
#include "closer/sus_app.h"
#include "contract/settings_contract.h"
#include "hosts/springboard/icon_model.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/files.h"
#include "platform/notify/darwin_notify.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/ui/image_object.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kApplications = 300;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A device root with a home screen of 300 applications; made once, kept for every benchmark.
class Device {
public:
    static Device& shared()
    {
        static Device device;
        return device;
    }

    void forgetCatalogue() const
    {
        useOwnRoot();
        std::filesystem::remove(root_.host(slv::settingsPath()));
        for (const auto& entry : std::filesystem::directory_iterator(root_.host(std::string(slv::path::IconsFolder))))
            std::filesystem::remove(entry.path());
    }

    void useOwnRoot() const
    {
        sv::fs::setDeviceRoot(root_.path());
        sv::notify::rebindForTesting();
    }

    // A device root made for one export, set as the root. Kept until the process ends: a file
    // system without a journal (ext4's, say) passes over every inode freed in the last minutes
    // each time it makes a file, so removing the roots of earlier runs would make each run pay
    // for the ones before it.
    void useFreshRoot()
    {
        freshRoots_.push_back(std::make_unique<sv::test::DeviceRoot>());
    }

private:
    Device()
    {
        sb::registerApplicationClasses();
        sb::registerIconClasses();
        for (int i = 0; i < kApplications; ++i) {
            std::string id = "com.example.app" + std::to_string(i);
            sb::applicationState(sb::Springboard::shared().application(id))->name = "Application " + std::to_string(i);
        }
        sv::fs::createDirectories(slv::path::IconsFolder);
    }

    sv::test::DeviceRoot root_;
    std::vector<std::unique_ptr<sv::test::DeviceRoot>> freshRoots_;
};

void exportNow()
{
    grabAppData(nullptr, nullptr, nullptr, nullptr, nullptr);
}

// What drawing and encoding the icons alone take, for the shares below.
void drawAndEncode(double& drawing, double& encoding)
{
    sv::rt::AutoreleasePool pool;
    for (const sv::rt::Ref& icon : sb::IconModel::shared().icons()) {
        sv::rt::AutoreleasePool inner;
        auto start = Clock::now();
        id image = sv::rt::msgSend<id>(icon.get(), "generateIconImage:", 0);
        drawing += secondsSince(start);
        start = Clock::now();
        benchmark::DoNotOptimize(UIImagePNGRepresentation(image));
        encoding += secondsSince(start);
    }
}

// Each export on a device root of its own, made for it: emptying one root again and again would
// measure how the file system reuses the inodes it has just freed, which a fresh device never has.
void ExportOnFreshDevice(benchmark::State& state)
{
    Device& device = Device::shared();
    double exporting = 0, drawing = 0, encoding = 0;
    for (auto _ : state) {
        state.PauseTiming();
        device.useFreshRoot();
        sv::fs::createDirectories(slv::path::IconsFolder);
        state.ResumeTiming();
        auto start = Clock::now();
        exportNow();
        exporting += secondsSince(start);
        state.PauseTiming();
        drawAndEncode(drawing, encoding);
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(sv::findArray(slv::readSettings().value_or(sv::Dictionary {}),
                                                                  slv::key::ApplicationData)->size());
    state.counters["png_share"] = encoding / exporting;
    state.counters["draw_share"] = drawing / exporting;
    device.useOwnRoot();
}
BENCHMARK(ExportOnFreshDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

// As when the user opens a chooser again, some time after the export that wrote the images: the
// change test takes the icons folder as settled only once its times are two seconds old.
void ExportUnchanged(benchmark::State& state)
{
    Device::shared().forgetCatalogue();
    exportNow();
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (auto _ : state)
        exportNow();
}
BENCHMARK(ExportUnchanged)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Encoding the 300 icons as PNG, drawn once beforehand: the encoder's share of a fresh export.
void EncodeIcons(benchmark::State& state)
{
    Device::shared().useOwnRoot();
    sv::rt::AutoreleasePool pool;
    std::vector<sv::rt::Ref> images;
    for (const sv::rt::Ref& icon : sb::IconModel::shared().icons())
        images.push_back(sv::rt::Ref::retain(sv::rt::msgSend<id>(icon.get(), "generateIconImage:", 0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const sv::rt::Ref& image : images)
            if (auto png = UIImagePNGRepresentation(image.get()))
                bytes += png->size();
    }
    state.counters["bytes_per_icon"] = static_cast<double>(bytes) / static_cast<double>(images.size());
}
BENCHMARK(EncodeIcons)->Unit(benchmark::kMillisecond)->UseRealTime();

// The stand-in home screen's own share of the above: handing out its icon snapshot and answering
// each icon's identifier and name.
void HomeScreenSnapshot(benchmark::State& state)
{
    Device::shared().useOwnRoot();
    for (auto _ : state) {
        sv::rt::AutoreleasePool pool;
        id model = sv::rt::msgSend<id>(sv::rt::classObject("SBIconModel"), "sharedInstance");
        id icons = sv::rt::msgSend<id>(sv::rt::msgSend<id>(model, "_applicationIcons"), "allObjects");
        auto count = sv::rt::msgSend<unsigned long>(icons, "count");
        for (unsigned long i = 0; i < count; ++i) {
            id icon = sv::rt::msgSend<id>(icons, "objectAtIndex:", i);
            benchmark::DoNotOptimize(sv::rt::msgSend<id>(icon, "leafIdentifier"));
            benchmark::DoNotOptimize(sv::rt::msgSend<id>(icon, "displayName"));
        }
    }
}
BENCHMARK(HomeScreenSnapshot)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
