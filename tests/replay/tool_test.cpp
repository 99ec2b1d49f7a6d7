// The replay tool's command line as people use it: help, version, bad input, and runs that must
// not depend on what they were not given.
#include "sleepvane_version.h"
#include "tests/replay/days.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

namespace {

using replay::replayTool;

std::size_t lines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

const char* kHeader = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\n";

TEST(ReplayCommandLine, HelpGoesToStandardOutputWithEveryOptionAndFigure)
{
    auto help = replayTool({ "--help" });
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: sleepvane-replay", 0), 0u) << help.out;
    // Every option and policy the program takes is in its usage, and every figure is explained.
    for (const char* word : { "--trace", "--days", "--people", "--seed", "--device", "total=", "base=", "floor=",
                              "--footprints", "--thresholds", "--policies", "--habits", "--write-trace", "--json",
                              "--chart", "--check-library", "--help", "--version", "parts", "largest-first", "oracle",
                              "learn-from-use", "returns", "successions", "dayparts", "bursts", "switches",
                              "system_kills", "foreground_kills", "minutes_low", "lowest_free", "regretted_10min",
                              "restarts_10min", "--costs", "--holdout", "cost_per_day", "low_launches_count" })
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST(ReplayCommandLine, VersionIsTheProjectsOwn)
{
    auto version = replayTool({ "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("sleepvane-replay ") + SLEEPVANE_VERSION + "\n");
    EXPECT_EQ(version.err, "");
}

TEST(ReplayCommandLine, AnUnknownOptionIsOneLineAndTheUsageOnStandardError)
{
    auto unknown = replayTool({ "--days", "2", "--colour" });
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("sleepvane-replay: unknown option --colour\nusage: sleepvane-replay", 0), 0u)
        << unknown.err;
}

// Each mistake: one line on standard error naming it, exit 2, nothing replayed.
TEST(ReplayCommandLine, BadValuesAreOneLineEachAndExitTwo)
{
    sv::test::DeviceRoot folder;
    std::string nan = folder.path() + "/nan.txt", huge = folder.path() + "/huge.txt";
    sv::test::writeHostFile(nan, "Chrome nan\n");
    sv::test::writeHostFile(huge, "Chrome 250\nMaps 4096\n");
    const std::vector<std::vector<std::string>> bad = {
        { "--device", "total=512,base=512" },
        { "--device", "total=1024,base=100,floor=1024" },
        { "--device", "total=1024,floor=-1" },
        { "--thresholds", "100,1001" },
        { "--thresholds", "-5" },
        { "--footprints", nan },
        { "--footprints", huge },
        { "--policies", "learn-from-use:extra=abc" },
        { "--policies", "learn-from-use:half=0" },
        { "--policies", "learn-from-use:recency=1" },
        { "--habits", "returns,naps" },
        { "--costs", "restart=-1" },
        { "--costs", "restart=2,wait=1" },
        { "--costs", "front-kill=" },
        { "--holdout", "0" },
        { "--days" },
    };
    for (const auto& args : bad) {
        auto run = replayTool(args);
        std::string what = args[0] + (args.size() > 1 ? " " + args[1] : "");
        EXPECT_EQ(run.status, 2) << what << "\n" << run.err;
        EXPECT_EQ(lines(run.err), 1u) << what << "\n" << run.err;
        EXPECT_EQ(run.err.rfind("sleepvane-replay: ", 0) == 0 || run.err.rfind(nan, 0) == 0
                      || run.err.rfind(huge, 0) == 0,
                  true)
            << run.err;
        EXPECT_EQ(run.out, "") << what;
    }
}

TEST(ReplayCommandLine, PolicyOptionsCombine)
{
    auto run = replayTool({ "--people", "2", "--days", "1", "--thresholds", "100", "--policies",
                            "parts,learn-from-use:half=50:extra=3,learn-from-use:follow=3:window=300:recency", "--json" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"learn-from-use:half=50:extra=3\""), std::string::npos) << run.out;
}

TEST(ReplayCommandLine, AnEmptyOrHeaderOnlyTraceHasNoUsage)
{
    sv::test::DeviceRoot folder;
    std::string empty = folder.path() + "/empty.tsv", header = folder.path() + "/header.tsv";
    sv::test::writeHostFile(empty, "");
    sv::test::writeHostFile(header, kHeader);
    for (const std::string& trace : { empty, header })
        for (const char* json : { "--json", "" }) {
            std::vector<std::string> args = { "--trace", trace };
            if (*json)
                args.push_back(json);
            auto run = replayTool(args);
            EXPECT_EQ(run.status, 1) << trace;
            EXPECT_NE(run.err.find("sleepvane-replay: no usage in " + trace), std::string::npos) << run.err;
            EXPECT_EQ(run.out.find("1000000000000000000"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find("e+18"), std::string::npos) << run.out;
        }
}

// A trace names its own applications; one missing from the footprint table gets a figure from
// its name alone, so the seed (for synthetic days) changes nothing.
TEST(ReplayCommandLine, TheSeedDoesNotChangeATraceRun)
{
    sv::test::DeviceRoot folder;
    std::string trace = folder.path() + "/t.tsv";
    std::string rows = kHeader;
    const char* apps[] = { "Zeta Notes", "Qwerty Mail", "Obscure Game", "Chrome", "Lumen Reader", "Tiny Tool" };
    int minute = 0;
    for (int round = 0; round < 6; ++round)
        for (const char* app : apps) {
            char time[32];
            std::snprintf(time, sizeof time, "2018-01-16 %02d:%02d:00", 8 + minute / 60, minute % 60);
            rows += "1\t" + std::to_string(round) + "\t" + time + "\t" + app + "\tOpened\n";
            minute += 1;
        }
    sv::test::writeHostFile(trace, rows);
    auto one = replayTool({ "--trace", trace, "--json", "--seed", "1", "--thresholds", "50,300" });
    auto other = replayTool({ "--trace", trace, "--json", "--seed", "77", "--thresholds", "50,300" });
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, other.out);
}

} // namespace

namespace {

// The trace path measured on days the generator wrote: the same figures as the days themselves.
TEST(ReplayCommandLine, AWrittenTraceReplaysLikeTheDaysItWasWrittenFrom)
{
    sv::test::DeviceRoot folder;
    std::string trace = folder.path() + "/written.tsv";
    std::vector<std::string> days = { "--people", "3", "--days", "2", "--seed", "4", "--habits", "returns,bursts" };
    std::vector<std::string> write = days;
    write.insert(write.end(), { "--write-trace", trace });
    auto written = replayTool(write);
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(sv::test::readHostFile(trace).rfind(std::string(kHeader) + "1\t1\t2018-01-01 ", 0), 0u);
    std::vector<std::string> direct = days;
    direct.insert(direct.end(), { "--json", "--thresholds", "100,250" });
    auto fromDays = replayTool(direct);
    auto fromTrace = replayTool({ "--trace", trace, "--json", "--thresholds", "100,250" });
    ASSERT_EQ(fromTrace.status, 0) << fromTrace.err;
    EXPECT_EQ(fromDays.out, fromTrace.out);
    EXPECT_EQ(replayTool({ "--trace", trace, "--write-trace", trace + "2" }).status, 2);
}

// Every set of days with a day gets a slider value; the holdout's advice, default and hindsight
// are made of the same people's later days, hindsight costing no more than either.
TEST(ReplayCommandLine, EveryRunWithADayRecommendsASliderValueAndTheHoldoutAddsUp)
{
    sv::test::DeviceRoot folder;
    std::string script = R"(
import json, sys
data = json.loads(sys.stdin.read())
rows, h = (data["rows"], data["holdout"]) if isinstance(data, dict) else (data, None)
for r in rows:
    t = r["recommended_threshold"]
    assert t is not None and 30 <= t <= 300 and t % 5 == 0, r
if h is not None:
    assert h["policy"] == "parts" and h["days"] == 2 and h["default_threshold"] == 175, h
    assert 0 < h["people"] <= 4 and 0 <= h["people_no_worse_count"] <= h["people"], h
    assert all(h[k]["days"] == h["people"] for k in ("advice", "default", "hindsight")), h
    assert h["hindsight"]["cost"] <= min(h["advice"]["cost"], h["default"]["cost"]) + 1e-6, h
print("ok")
)";
    sv::test::writeHostFile(folder.path() + "/check.py", script);
    for (const char* seed : { "1", "2", "3" }) {
        auto one = replayTool({ "--people", "1", "--days", "1", "--seed", seed, "--policies", "parts,learn-from-use",
                                "--thresholds", "100,400", "--json" });
        ASSERT_EQ(one.status, 0) << one.err;
        auto checked = sv::test::runProcess({ "/usr/bin/python3", folder.path() + "/check.py" }, one.out, 60);
        EXPECT_EQ(checked.out, "ok\n") << checked.err << one.out;
    }
    auto held = replayTool({ "--people", "4", "--days", "3", "--policies", "parts", "--thresholds", "175",
                             "--holdout", "2", "--json" });
    ASSERT_EQ(held.status, 0) << held.err;
    auto checked = sv::test::runProcess({ "/usr/bin/python3", folder.path() + "/check.py" }, held.out, 60);
    EXPECT_EQ(checked.out, "ok\n") << checked.err << held.out;
    auto text = replayTool({ "--people", "4", "--days", "3", "--policies", "parts", "--thresholds", "175",
                             "--holdout", "2" });
    EXPECT_NE(text.out.find("holdout (parts): each person's advice drawn from their first 2 days"), std::string::npos)
        << text.out;
}

} // namespace
