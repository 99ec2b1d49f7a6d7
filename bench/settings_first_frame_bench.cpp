// The root screen's first frame (the pane made, pushed and laid out, its first fill, and the screen
// drawn as the Settings host snapshots it) with a full diary of 7 days beside it and with none,
// the two taken in turn in every iteration so that a neighbour's load weighs on both alike: the
// suggestion is worked out after that frame, never in it. Beside it, the suggestion worked out
// whole from that diary, its first step (reading the diary) and its longest other step (a day at
// a threshold): the longest a turn of the run loop is held.
// Then what an opening of the pane spends on the suggestion, worked out and read back from what an
// earlier opening kept, each as a ratio to one parse of the settings file.
// Frames and steps are counted in processor time of the thread, which the machine's other work
// does not move.
#include "bench/catalogue_settings.h"
#include "contract/history_file.h"
#include "contract/diary_file.h"
#include "contract/settings_contract.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/prefs/controller_registry.h"
#include "platform/ui/application.h"
#include "platform/ui/navigation_controller.h"
#include "platform/ui/view_renderer.h"
#include "settings/app_delegate.h"
#include "settings/pane_start.h"
#include "settings/threshold_suggestion.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

namespace {

using Seconds = std::chrono::duration<double>;

double threadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A heavy week on a phone: 40 applications of 30 to 250 MB, about 1 700 switches a day from 07:00,
// the library closing the oldest in the background while free memory is at or below 200 MB; as
// many lines as the diary keeps (2 MB).
std::string fullDiary()
{
    namespace diary = slv::diary;
    std::mt19937 random(7);
    constexpr int kApps = 40;
    constexpr std::int64_t kApplicationsMB = 1024, kThreshold = 200;
    std::vector<std::int64_t> footprint(kApps);
    for (int i = 0; i < kApps; ++i)
        footprint[i] = 30 + static_cast<std::int64_t>(random() % 221);
    std::string text = std::string(diary::Header) + "\n";
    std::vector<int> running; // most recent first
    std::int64_t session = 1;
    auto freeMB = [&] {
        std::int64_t held = 0;
        for (int app : running)
            held += footprint[app];
        return std::max<std::int64_t>(0, kApplicationsMB - held);
    };
    auto line = [&](std::int64_t ms, int app, diary::Kind kind, std::string detail) {
        auto written = diary::lineOf({ session, ms, "com.example.app" + std::to_string(app), kind, freeMB(), std::move(detail) });
        if (written && text.size() + written->size() <= diary::kMaximumSize)
            text += *written;
    };
    constexpr std::int64_t kDay = 86400000, kStart = 1767225600000 + 7 * 3600000;
    for (int day = 0; day < 7; ++day) {
        std::int64_t ms = kStart + day * kDay;
        int front = -1;
        for (int change = 0; change < 1700; ++change) {
            // Zipf-like popularity: the first applications far more often.
            int app = std::min(kApps - 1, static_cast<int>(std::floor(std::pow(kApps, double(random() % 1000) / 1000.0))) - 1);
            app = std::max(app, 0);
            if (app == front)
                continue;
            std::erase(running, app);
            running.insert(running.begin(), app);
            line(ms, app, diary::Kind::Opened, "");
            if (front >= 0)
                line(ms, front, diary::Kind::Closed, "2");
            std::int64_t decided = ms;
            for (std::size_t i = running.size(); freeMB() <= kThreshold && i-- > 1;) {
                int oldest = running[i];
                running.erase(running.begin() + static_cast<long>(i));
                decided += 1000;
                line(decided, oldest, diary::Kind::OurClose, std::string(slv::history::reason::LowMemory));
            }
            front = app;
            ms = decided + 5000 + static_cast<std::int64_t>(random() % 30000);
        }
        ++session;
    }
    return text;
}

// One Settings process for every benchmark: a device root with the pane's specifier list, the
// manual clock and a navigation stack whose root stands for the Settings list.
class Settings {
public:
    static Settings& shared()
    {
        static Settings settings;
        return settings;
    }

    // The diary is written once; it is only moved aside and back, so that no frame pays for the
    // writing of 2 MB just before it.
    void withDiary(bool full)
    {
        std::string path = root_.host(std::string(slv::diary::Path)), aside = path + ".aside";
        std::error_code ignored;
        if (full)
            std::filesystem::rename(aside, path, ignored);
        else
            std::filesystem::rename(path, aside, ignored);
    }

    // The first frame: what the host does from `open` to the screen on a picture, the first fill
    // included.
    // The processor time of this thread it took (the machine's other work is not in it).
    double firstFrame(std::shared_ptr<SLVAppDelegate>& pane)
    {
        double started = threadSeconds();
        pane = std::dynamic_pointer_cast<SLVAppDelegate>(
            sv::prefs::createController("SLVAppDelegate", sv::ui::UIViewController::kContentSize));
        navigation_->pushViewController(pane, false);
        navigation_->view()->layoutIfNeeded();
        // The first fill falls due (0.1 s as the pane waits it: a float widened).
        clock_->advanceTo(clock_->now() + std::chrono::duration_cast<sv::Clock::Duration>(Seconds(double(0.1f))));
        sv::RunLoop::main().runOnce(0);
        if (!pane->ramSlider)
            std::abort(); // no first fill: not the frame meant
        benchmark::DoNotOptimize(sv::ui::renderView(*navigation_->view(), 2));
        return threadSeconds() - started;
    }

    // Leaves the pane; its suggestion goes with it (SuggestionFromAFullDiary measures that).
    void close(std::shared_ptr<SLVAppDelegate>& pane)
    {
        navigation_->popViewControllerAnimated(false);
        pane.reset();
        sv::RunLoop::main().removeAllTimers();
    }

    const std::string& diary() const { return diary_; }

private:
    Settings()
        : clock_(std::make_shared<sv::ManualClock>())
        , diary_(fullDiary())
    {
        sv::fs::setDeviceRoot(root_.path());
        sv::RunLoop::main().setClock(clock_);
        sv::bundle::setMainBundleIdentifierForTesting("com.apple.Preferences");
        sv::test::writeHostFile(root_.host(std::string(slv::path::Bundle) + "/SLVHome.plist"),
                                sv::test::readHostFile(std::string(SV_SOURCE_DIR) + "/settings/resources/SLVHome.plist"));
        registerSettingsClasses();
        sv::prefs::registerControllerClass(
            "SLVAppDelegate",
            [](sv::ui::Size size) -> std::shared_ptr<sv::prefs::PSViewController> { return SLVAppDelegate::initForContentSize(size); },
            std::string(slv::path::Bundle));
        sv::test::writeHostFile(root_.host(std::string(slv::diary::Path)), diary_);
        auto list = sv::ui::UIViewController::init();
        list->setTitle("Settings");
        navigation_ = sv::ui::UINavigationController::initWithRootViewController(list);
        sv::ui::UIApplication::sharedApplication().setRootController(navigation_);
    }

    sv::test::DeviceRoot root_;
    std::shared_ptr<sv::ManualClock> clock_;
    std::shared_ptr<sv::ui::UINavigationController> navigation_;
    std::string diary_;
};

void FirstFrameWithAFullDiaryAndWithNone(benchmark::State& state)
{
    Settings& settings = Settings::shared();
    double with = 0, without = 0;
    bool fullFirst = true;
    for (auto _ : state) {
        // Each first in turn: what ran just before weighs on neither more.
        fullFirst = !fullFirst;
        for (bool full : { fullFirst, !fullFirst }) {
            state.PauseTiming();
            settings.withDiary(full);
            std::shared_ptr<SLVAppDelegate> pane;
            state.ResumeTiming();
            (full ? with : without) += settings.firstFrame(pane);
            state.PauseTiming();
            settings.close(pane);
            state.ResumeTiming();
        }
    }
    auto n = static_cast<double>(state.iterations());
    // Processor time of the frame, averaged.
    state.counters["with_diary_ms"] = 1000 * with / n;
    state.counters["without_ms"] = 1000 * without / n;
    state.counters["ratio"] = without > 0 ? with / without : 0;
}
BENCHMARK(FirstFrameWithAFullDiaryAndWithNone)->Unit(benchmark::kMillisecond);

void SuggestionFromAFullDiary(benchmark::State& state)
{
    const std::string& text = Settings::shared().diary();
    double longest = 0, reading = 0;
    long steps = 0;
    for (auto _ : state) {
        replay::Suggestion work(text, SLVThresholdSuggestion::kSlider, 175, {});
        for (bool more = true, first = true; more; ++steps, first = false) {
            double started = threadSeconds();
            more = work.step();
            double took = threadSeconds() - started;
            (first ? reading : longest) = std::max(first ? reading : longest, took);
        }
        benchmark::DoNotOptimize(work.threshold());
    }
    state.counters["diary_kb"] = static_cast<double>(text.size()) / 1024;
    state.counters["steps"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
    state.counters["reading_ms"] = 1000 * reading;
    state.counters["longest_play_step_ms"] = 1000 * longest;
}
BENCHMARK(SuggestionFromAFullDiary)->Unit(benchmark::kMillisecond);

// The suggestion's whole work in one opening (a timer step after another on the manual clock),
// with nothing kept (worked out) or with the result of an earlier opening kept (read back).
double openingSeconds(const std::shared_ptr<sv::ManualClock>& clock)
{
    double started = threadSeconds();
    bool done = false;
    auto suggestion = SLVThresholdSuggestion::start(175, [&] { done = true; });
    while (!done) {
        clock->advanceTo(clock->now() + std::chrono::duration_cast<sv::Clock::Duration>(Seconds(0.1)));
        sv::RunLoop::main().runOnce(0);
    }
    benchmark::DoNotOptimize(suggestion->footer());
    return threadSeconds() - started;
}

void SuggestionOpeningWorkedOutAndReadBack(benchmark::State& state)
{
    Settings& settings = Settings::shared();
    settings.withDiary(true);
    auto clock = std::make_shared<sv::ManualClock>();
    sv::RunLoop::main().setClock(clock);
    std::string kept(slv::diary::SuggestionPath);
    // A settings file of a full catalogue, its never list among the lists the work replays with.
    slv::updateSettings([](sv::Dictionary& file) {
        file = catalogueSettings(300);
        return true;
    });
    double workedOut = 0, readBack = 0, parse = 0;
    for (auto _ : state) {
        sv::fs::removeFile(kept);
        workedOut += openingSeconds(clock);
        readBack += openingSeconds(clock);
        // One parse of that file's bytes, as scripts/bench's unit (a read through the pane's
        // cache of the file would parse nothing).
        auto bytes = sv::plist::serializeXml(catalogueSettings(300));
        constexpr int kParses = 20;
        double started = threadSeconds();
        for (int i = 0; i < kParses; ++i)
            benchmark::DoNotOptimize(sv::plist::parse(bytes.data(), bytes.size()));
        parse += (threadSeconds() - started) / kParses;
    }
    auto n = static_cast<double>(state.iterations());
    state.counters["worked_out_ms"] = 1000 * workedOut / n;
    state.counters["read_back_ms"] = 1000 * readBack / n;
    state.counters["settings_parse_ms"] = 1000 * parse / n;
    state.counters["worked_out_ratio"] = parse > 0 ? workedOut / parse : 0;
    state.counters["read_back_ratio"] = parse > 0 ? readBack / parse : 0;
}
BENCHMARK(SuggestionOpeningWorkedOutAndReadBack)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
