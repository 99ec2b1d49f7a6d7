// The replay's parts policy against the real library in the real home-screen host, close by close.
#include "tests/support/device_root.h"
#include "tools/replay/check.h"
#include "tools/replay/synthetic.h"
#include "tools/replay/trace.h"

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
        sv::test::DeviceRoot folder;
        std::string host = folder.path() + "/host";
        sv::test::writeHostFile(host, "#!/bin/sh\necho '[1.000] closed replay.nobody'\n");
        ASSERT_EQ(::chmod(host.c_str(), 0755), 0);
        LibraryCheck check(host, host);
        Footprints footprints;
        DeviceSize device;
        Replay replay(device, footprints);
        Day day;
        DayBuilder build(day);
        build.open(0, day.app("Mail", "replay.mail"));
        build.home(10);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(check.check(day, 100, replay, device, footprints));
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

} // namespace
} // namespace replay
