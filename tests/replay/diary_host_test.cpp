// Diaries the real library wrote in the real home-screen host, on the virtual clock, replayed: what
// they say of the applications' footprints, the threshold they recommend, and the closes they
// recorded.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "tools/replay/check.h"
#include "playback/recommend.h"
#include "playback/suggestion.h"
#include "playback/synthetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

namespace replay {
namespace {

    constexpr int kWeek = 7;
    constexpr double kDay = 86400;
    // The phone of the week: 1024 MB, 512 of them the system's, applications of about half the
    // figures the table gives for a phone of recent years.
    const DeviceSize kPhone { 1024, 512, std::nullopt };
    constexpr double kShare = 0.45;

    std::vector<int> sliderValues()
    {
        std::vector<int> values;
        for (int threshold = 30; threshold <= 300; threshold += 5)
            values.push_back(threshold);
        return values;
    }

    std::string joined(const std::vector<int>& values)
    {
        std::string text;
        for (int value : values)
            text += (text.empty() ? "" : ",") + std::to_string(value);
        return text;
    }

    struct Week {
        std::vector<Day> days;                 // as lived, each application's footprint written in
        std::map<std::string, double> truth;   // by identifier
        std::string scenario;                  // for the home-screen host
    };

    // One synthetic person's week (the replay's own generator, every habit on) as the host plays
    // it: Learn From Use on from the start, the threshold the person had set, a day a date.
    Week week(unsigned seed, int threshold)
    {
        Week w;
        Synthetic generator(seed);
        Footprints table;
        std::ostringstream scenario;
        for (int d = 0; d < kWeek; ++d) {
            Day day = generator.day(0, d);
            std::vector<double> sizes;
            for (App& app : day.apps) {
                double mb = std::round(kShare * table.of(app.name, app.bundleID) * 10) / 10;
                app.memoryMB = mb;
                sizes.push_back(mb);
                w.truth[app.bundleID] = mb;
            }
            std::string text = scenarioOf(day, threshold, kPhone, sizes, true);
            // Each day's scenario ends a minute after its last event; the next begins at midnight.
            scenario << text << "wait " << (kDay - day.end() - 60) << "\n";
            w.days.push_back(std::move(day));
        }
        scenario << "wait 61\nshow diary\n";
        w.scenario = scenario.str();
        return w;
    }

    // The diary the library wrote while the host played the scenario.
    std::string diaryOf(const std::string& scenario, std::string* out = nullptr)
    {
        ::setenv("TZ", "UTC", 1); // the days are the virtual clock's dates
        sv::test::DeviceRoot root;
        auto run = playedByTheHost(root, scenario, 300);
        EXPECT_EQ(run.status, 0) << run.err;
        if (out)
            *out = run.out;
        return sv::test::readHostFile(root.host("/var/mobile/Library/Sleepvane/Diary.tsv"));
    }

    std::optional<int> recommendedIn(const std::string& toolOutput)
    {
        std::smatch found;
        if (!std::regex_search(toolOutput, found, std::regex(R"(recommended threshold \(learn-from-use\): (\d+) MB)")))
            return std::nullopt;
        return std::stoi(found[1]);
    }

    TEST(DiaryWeek, AScriptedWeekIsEstimatedWithinTenPercentAndRecommendsTheThresholdItsTableShows)
    {
        Week w = week(5, 150);
        std::string text = diaryOf(w.scenario);
        DiaryTrace diary = DiaryTrace::read(text, "the week");
        ASSERT_TRUE(diary.problems().empty());
        ASSERT_EQ(diary.daysOfUse(), kWeek);

        Footprints estimated;
        diary.estimateInto(estimated);
        int estimates = 0;
        std::string unestimated;
        for (const auto& [id, truth] : w.truth) {
            Footprints::Figure figure = estimated.figure(id, id);
            if (figure.source != Footprints::Source::Diary) {
                auto seen = diary.observations().find(id);
                unestimated += " " + id + " (" + std::to_string(seen == diary.observations().end() ? 0 : seen->second.size())
                    + " observations, truly " + std::to_string(truth) + " MB)";
                continue;
            }
            ++estimates;
            EXPECT_NEAR(figure.megabytes, truth, 0.1 * truth) << id << " from " << figure.observations << " observations";
        }
        EXPECT_GE(estimates, 8) << "of " << w.truth.size() << " applications";
        std::printf("not estimated:%s\n", unestimated.c_str());
        auto device = diary.device(estimated);
        ASSERT_TRUE(device);
        EXPECT_NEAR(device->totalMB - device->baseMB, kPhone.totalMB - kPhone.baseMB, 0.05 * (kPhone.totalMB - kPhone.baseMB));

        // The days as lived, with their true footprints, on the true phone: the threshold a person
        // would pick from that table.
        Footprints none;
        auto truth = recommend(w.days, Replay(kPhone, none), "learn-from-use", sliderValues());
        ASSERT_TRUE(truth && truth->threshold) << "the week must have a threshold in the slider's range";

        // The tool on the diary's whole days (the pane leaves out the newest date, still going on):
        // its table, where the threshold it advises is a row; and the pane's suggestion from the
        // whole diary, the same.
        sv::test::DeviceRoot folder;
        std::string path = folder.path() + "/Diary.tsv";
        sv::test::writeHostFile(path, std::string(Suggestion::wholeDays(text)));
        auto tool = replayTool({ "--trace", path, "--policies", "learn-from-use", "--thresholds",
                                 joined(sliderValues()), "--show-footprints" });
        EXPECT_EQ(tool.status, 0) << tool.err;
        std::optional<int> picked = recommendedIn(tool.out);
        ASSERT_TRUE(picked) << tool.out;
        EXPECT_TRUE(std::regex_search(tool.out, std::regex("\nlearn-from-use\\s+" + std::to_string(*picked) + "\\s")))
            << tool.out;
        Suggestion pane(text, {}, 150, {});
        while (pane.step()) { }
        EXPECT_EQ(pane.outcome(), Suggestion::Outcome::Within);
        EXPECT_EQ(pane.threshold(), *picked);

        // Beside the truth: an application seen fewer than three times takes the table's figure.
        Footprints everySeen;
        for (const auto& [id, steps] : diary.observations())
            everySeen.estimate(id, *median(steps), int(steps.size()));
        diary.setDevice(*device);
        auto fromEverySeen = recommend(diary.days(), Replay(kPhone, everySeen), "learn-from-use", sliderValues());
        std::printf("the week: %d MB recommended from its own days (true footprints and phone); from its diary %d MB by "
                    "the tool, %d MB by the pane (%d MB had every application seen once taken at what was seen of "
                    "it); %d applications estimated\n%s",
                    *truth->threshold, *picked, pane.threshold(), fromEverySeen && fromEverySeen->threshold ? *fromEverySeen->threshold : -1,
                    estimates, tool.out.c_str());
    }

    // A day of seven applications with whole-MB footprints, calls among the switches, Learn From Use
    // on at 150 MB: every application is closed often enough for its footprint to be read exactly.
    std::string dayWithCalls(unsigned seed)
    {
        std::ostringstream out;
        out << "memory total=1024 base=512\nsettings ramValue 150\nsettings learnFromUse on\n";
        const std::pair<const char*, int> apps[] = { { "com.example.mail", 40 }, { "com.example.news", 60 },
                                                     { "com.example.maps", 100 }, { "com.example.camera", 50 },
                                                     { "com.example.game", 120 }, { "com.example.chat", 80 },
                                                     { "com.example.music", 70 } };
        for (const auto& [id, mb] : apps)
            out << "app " << id << " \"" << id + 12 << "\" mem=" << mb << "\n";
        std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
        auto below = [&](int n) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return int((state >> 33) % std::uint64_t(n));
        };
        out << "wait 25200\n";
        const char* front = nullptr;
        for (int i = 0; i < 140; ++i) {
            const char* next = apps[below(7)].first;
            if (next == front)
                continue;
            out << "launch " << next << "\nstate " << next << " 4\n";
            if (front)
                out << "state " << front << " 2\n";
            front = next;
            out << "wait " << 5 + below(110) << "\n";
            if (below(10) < 2) {
                out << "home\nstate " << front << " 2\n";
                front = nullptr;
                if (below(2))
                    out << "call incoming\nwait " << 1 + below(30) << "\ncall none\n";
                out << "wait " << 10 + below(400) << "\n";
            }
        }
        if (front)
            out << "home\nstate " << front << " 2\n";
        out << "wait 61\nshow diary\n";
        return out.str();
    }

    TEST(CheckLibrary, AHostWrittenDiaryReplaysToTheClosesTheHostMade)
    {
        std::string hostOut;
        std::string text = diaryOf(dayWithCalls(3), &hostOut);
        ASSERT_NE(text.find("\tCall Start\t"), std::string::npos);
        long recorded = 0;
        for (std::size_t at = text.find("\tSleepvane Close\t"); at != std::string::npos;
             at = text.find("\tSleepvane Close\t", at + 1))
            ++recorded;
        ASSERT_GT(recorded, 20) << "the day must close enough to tell";

        sv::test::DeviceRoot folder;
        std::string path = folder.path() + "/Diary.tsv";
        sv::test::writeHostFile(path, text);
        auto tool = replayTool(
            { "--trace", path, "--policies", "learn-from-use", "--thresholds", "100,150,200", "--check-library" }, 300);
        EXPECT_EQ(tool.status, 0) << tool.out << tool.err;
        EXPECT_NE(tool.out.find("every close agreed"), std::string::npos) << tool.out;
        EXPECT_NE(tool.out.find("check-library: the closes the diary recorded (" + std::to_string(recorded)
                                + " on 1 day) are learn-from-use's on every day at 150 MB\n"),
                  std::string::npos)
            << tool.out;
    }

} // namespace
} // namespace replay
