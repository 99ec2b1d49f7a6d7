// The replay's parts policy against the real library in the real home-screen host, close by close.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "tools/replay/check.h"
#include "playback/policies.h"
#include "playback/synthetic.h"
#include "playback/trace.h"

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <gtest/gtest.h>

namespace replay {
namespace {

    LibraryCheck makeCheck()
    {
        return LibraryCheck(sv::test::buildPath("hosts/springboard/springboard-host"),
                            sv::test::buildPath("closer/libSleepwright.so"));
    }

    // A check whose host is a shell script in a folder of its own, not the library.
    struct ScriptedHost {
        sv::test::DeviceRoot folder;
        LibraryCheck check;

        explicit ScriptedHost(const std::string& script)
            : check(written(folder, script), folder.path() + "/host")
        {
        }
        static std::string written(const sv::test::DeviceRoot& folder, const std::string& script)
        {
            std::string host = folder.path() + "/host";
            sv::test::writeHostFile(host, "#!/bin/sh\n" + script);
            EXPECT_EQ(::chmod(host.c_str(), 0755), 0);
            return host;
        }
    };

    TEST(CheckLibrary, FiftySeededDaysCloseAlikeInTheLibraryAndTheParts)
    {
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        LibraryCheck check = makeCheck();
        long closes = 0;
        auto days = Synthetic(21).days(25, 2);
        ASSERT_EQ(days.size(), 50u);
        for (const Day& day : days)
            for (int threshold : { 100, 250 })
                EXPECT_TRUE(check.check(day, threshold, replay, device, footprints, &closes)) << day.label;
        EXPECT_GT(closes, 200) << "the days must close enough to tell";
    }

    // Learn From Use learning from nothing through each day: the library's order of closes is the
    // model's, use by use.
    TEST(CheckLibrary, SeededDaysLearningFromUseCloseAlikeInTheLibraryAndTheModel)
    {
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        LibraryCheck check = makeCheck();
        long closes = 0, disagreed = 0;
        auto days = Synthetic(22).days(10, 2);
        for (const Day& day : days)
            for (int threshold : { 100, 250 })
                disagreed += !check.check(day, threshold, replay, device, footprints, &closes, "learn-from-use");
        EXPECT_EQ(disagreed, 0);
        EXPECT_GT(closes, 100);
    }

    // The settings file holds 30 to 300 MB: a threshold beyond it is played by the library with
    // the slider at its end and memory moved, and closes as the replay's rules close.
    TEST(CheckLibrary, ThresholdsBeyondTheSliderCloseAlike)
    {
        Footprints footprints;
        DeviceSize device { 2048, 768 };
        Replay replay(device, footprints);
        LibraryCheck check = makeCheck();
        long closes = 0, disagreed = 0;
        for (const Day& day : Synthetic(23).days(4, 2))
            for (int threshold : { 10, 450, 700 })
                for (const char* policy : { "parts", "learn-from-use" })
                    disagreed += !check.check(day, threshold, replay, device, footprints, &closes, policy);
        EXPECT_EQ(disagreed, 0);
        EXPECT_GT(closes, 100);
        Day day = Synthetic(23).day(0, 0);
        std::string scenario = scenarioOf(day, 700, device, footprintsOf(day, footprints));
        EXPECT_NE(scenario.find("memory total=1648 base=768\nsettings ramValue 300\n"), std::string::npos) << scenario;
    }

    TEST(CheckLibrary, AScenarioWithCallsListsAndBackgroundModesClosesAlike)
    {
        std::ifstream in(std::string(SV_SOURCE_DIR) + "/hosts/springboard/scenarios/morning.txt");
        ASSERT_TRUE(in);
        Trace trace = readScenario(in, "morning.txt");
        ASSERT_EQ(trace.badLines, 0);
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        LibraryCheck check = makeCheck();
        long closes = 0;
        for (int threshold : { 100, 150, 300 })
            EXPECT_TRUE(check.check(trace.days[0], threshold, replay, device, footprints, &closes)) << threshold;
        EXPECT_GT(closes, 0);
    }

    TEST(CheckLibrary, ADisagreementIsReportedAndItsScenarioKept)
    {
        // A host that closes something the policy never would.
        ScriptedHost host("echo '[1.000] closed replay.nobody'\n");
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        Day day;
        DayBuilder build(day);
        build.open(0, day.app("Mail", "replay.mail"));
        build.home(10);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(host.check.check(day, 100, replay, device, footprints));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("the library closed replay.nobody@1.000; the parts policy closed (the scenario: "),
                  std::string::npos) << err;
        auto kept = err.substr(err.find("(the scenario: ") + 15);
        kept = kept.substr(0, kept.find(')'));
        std::string scenario = sv::test::readHostFile(kept);
        EXPECT_NE(scenario.find("settings ramValue 100\napp replay.mail \"Mail\" mem="), std::string::npos) << scenario;
        EXPECT_NE(scenario.find("launch replay.mail\nstate replay.mail 4\nwait 10\nhome\nstate replay.mail 2\nwait 60\n"),
                  std::string::npos) << scenario;
        std::remove(kept.c_str());
    }

    // The path a message names after "(the scenario: ".
    std::string keptPath(const std::string& err, std::size_t from = 0)
    {
        auto at = err.find("(the scenario: ", from);
        if (at == std::string::npos)
            return "";
        return err.substr(at + 15, err.find(')', at) - at - 15);
    }

    TEST(CheckLibrary, AHostThatFailsKeepsItsScenarioAndEachDisagreementKeepsItsOwn)
    {
        ScriptedHost host("echo 'springboard-host: line 3: a quoted word is not closed' >&2\nexit 1\n");
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        Day mail, notes;
        DayBuilder(mail).open(0, mail.app("Mail", "replay.mail"));
        DayBuilder(notes).open(0, notes.app("Notes", "replay.notes"));
        testing::internal::CaptureStderr();
        EXPECT_FALSE(host.check.check(mail, 100, replay, device, footprints));
        EXPECT_FALSE(host.check.check(notes, 100, replay, device, footprints));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("springboard-host: line 3: a quoted word is not closed"), std::string::npos) << err;
        std::string first = keptPath(err), second = keptPath(err, err.find("(the scenario: ") + 1);
        ASSERT_NE(first, "") << err;
        ASSERT_NE(second, "") << err;
        EXPECT_NE(first, second);
        EXPECT_NE(sv::test::readHostFile(first).find("app replay.mail \"Mail\""), std::string::npos) << first;
        EXPECT_NE(sv::test::readHostFile(second).find("app replay.notes \"Notes\""), std::string::npos) << second;
        std::remove(first.c_str());
        std::remove(second.c_str());
    }

    // The closes the host makes of the scenario as written.
    std::vector<std::string> hostCloses(const std::string& scenario)
    {
        sv::test::DeviceRoot root;
        auto run = playedByTheHost(root, scenario);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> closes;
        for (const std::string& line : sv::test::splitLines(run.out))
            if (line.find("] closed ") != std::string::npos)
                closes.push_back(line);
        return closes;
    }

    TEST(CheckLibrary, ListsChangedDuringTheDayTakeEffectWhenTheyChangeOnBothSides)
    {
        // A is closed, B spared while it is on the never list, A closed again once the list is empty.
        std::string scenario = "memory total=1024 base=600\n"
                               "app com.a \"A\" mem=200\napp com.b \"B\" mem=200\n"
                               "launch com.a\nstate com.a 4\nhome\nstate com.a 2\nwait 5\n"
                               "settings never com.a com.b\n"
                               "launch com.b\nstate com.b 4\nhome\nstate com.b 2\nwait 5\n"
                               "settings always com.b\nsettings never\n"
                               "launch com.a\nstate com.a 4\nhome\nstate com.a 2\nwait 5\n";
        std::vector<std::string> host = hostCloses("settings ramValue 300\n" + scenario);
        ASSERT_EQ(host, (std::vector<std::string> { "[1.000] closed com.a", "[11.000] closed com.a" }));
        Day day = scenarioTrace(scenario, "day.txt").days.at(0);
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        std::vector<Closed> closes;
        auto parts = makePolicy("parts");
        replay.play(day, *parts, 300, &closes);
        EXPECT_EQ(closes.size(), host.size());
        LibraryCheck check = makeCheck();
        long closed = 0;
        EXPECT_TRUE(check.check(day, 300, replay, device, footprints, &closed));
        EXPECT_EQ(closed, 2);
        // Where the written day puts the changes.
        std::string written = scenarioOf(day, 300, device, footprintsOf(day, footprints));
        EXPECT_NE(written.find("state com.a 2\nwait 5\nsettings never com.a com.b\n"), std::string::npos) << written;
    }

    TEST(CheckLibrary, ALongIdentifierAndANameWithAHashAreWrittenAndReadWhole)
    {
        Day day;
        std::string id = "com." + std::string(600, 'x');
        DayBuilder build(day);
        build.open(0, day.app("Long", id));
        build.open(10, day.app("#hash", "replay.hash"));
        build.home(20);
        Footprints footprints;
        // Memory low enough that both are closed at the slider's highest threshold.
        DeviceSize device { 724, 512 };
        Replay replay(device, footprints);
        LibraryCheck check = makeCheck();
        long closes = 0;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(check.check(day, 300, replay, device, footprints, &closes));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, "");
        EXPECT_EQ(closes, 2);
        if (std::string kept = keptPath(err); !kept.empty())
            std::remove(kept.c_str());
    }

} // namespace
} // namespace replay
