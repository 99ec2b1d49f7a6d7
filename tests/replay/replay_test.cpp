// Playing days: what the figures count, the generator's statistics, the policies against each
// other, and what the tool writes.
#include "tests/support/device_root.h"
#include "tools/replay/replay.h"
#include "tools/replay/synthetic.h"

#include <algorithm>
#include <map>
#include <gtest/gtest.h>

namespace replay {
namespace {

    struct Builder {
        Day day;
        DayBuilder build { day };
        AppId add(const std::string& name, double mb)
        {
            AppId app = day.app(name, bundleIDFor(name));
            day.apps[app].memoryMB = mb;
            return app;
        }
    };

    TEST(ReplayFigures, CountsLaunchesClosesRegretsAndTimeUnderTheThreshold)
    {
        Builder b;
        AppId a = b.add("A", 200), bee = b.add("B", 220), c = b.add("C", 150);
        b.build.open(0, a);     // free 312
        b.build.open(100, bee); // 92: A leaves with memory low, closed at 101 (312 again)
        b.build.open(200, c);   // 162
        b.build.open(250, a);   // A again, 149 s after its close: 0 MB, C leaves, B (the largest) goes at 251
        b.build.open(280, bee); // B again 29 s after its close: 0 MB, A leaves and goes at 281
        b.build.home(300);      // 142 MB: nothing more
        Footprints footprints;
        Replay replay({ 1024, 512 }, footprints);
        auto policy = makePolicy("largest-first");
        std::vector<Closed> closes;
        Figures f = replay.play(b.day, *policy, 100, &closes);
        ASSERT_EQ(closes.size(), 3u);
        EXPECT_EQ(closes[0].app, a);
        EXPECT_DOUBLE_EQ(closes[0].time, 101);
        EXPECT_EQ(closes[1].app, bee);
        EXPECT_DOUBLE_EQ(closes[1].time, 251);
        EXPECT_EQ(closes[2].app, a);
        EXPECT_DOUBLE_EQ(closes[2].time, 281);
        EXPECT_EQ(f.launches, 5);
        EXPECT_EQ(f.coldLaunches, 5);
        EXPECT_EQ(f.switches, 5);
        EXPECT_EQ(f.closes, 3);
        EXPECT_EQ(f.regretted60s, 1);
        EXPECT_EQ(f.regretted10min, 2);
        EXPECT_DOUBLE_EQ(f.lowestFree, 0);
        EXPECT_DOUBLE_EQ(f.secondsUnderThreshold, 3); // 100-101, 250-251, 280-281
        (void)c;
    }

    TEST(ReplayFigures, EachPolicyChoosesItsOwnVictimOnTheSameDay)
    {
        Builder b;
        AppId big = b.add("Big", 250), small = b.add("Small", 120), other = b.add("Other", 100);
        b.build.open(0, big);    // 262
        b.build.open(10, small); // 142
        b.build.open(20, other); // 42: Small leaves with memory low
        b.build.open(40, big);   // Big back
        b.build.home(50);
        Footprints footprints;
        Replay replay({ 1024, 512 }, footprints);
        std::map<std::string, AppId> victims;
        for (const std::string& name : policyNames()) {
            auto policy = makePolicy(name);
            std::vector<Closed> closes;
            Figures f = replay.play(b.day, *policy, 100, &closes);
            ASSERT_GE(closes.size(), 1u) << name;
            EXPECT_DOUBLE_EQ(closes[0].time, 21) << name;
            victims[name] = closes[0].app;
            EXPECT_EQ(f.regretted60s, closes[0].app == big) << name;
        }
        EXPECT_EQ(victims["parts"], big) << "the oldest suspect";
        EXPECT_EQ(victims["largest-first"], big);
        EXPECT_EQ(victims["oracle"], small) << "never used again";
    }

    TEST(Synthetic, SessionsMatchThePublishedMediansAndPopularityFollowsZipf)
    {
        Synthetic generator(11);
        std::vector<double> durations, apps;
        std::map<AppId, int> uses;
        for (int person = 0; durations.size() < 1000; ++person)
            for (const Session& s : generator.sessions(person, 0)) {
                durations.push_back(s.duration);
                apps.push_back(double(s.apps.size()));
                if (person < 1)
                    for (AppId app : s.apps)
                        ++uses[app];
            }
        durations.resize(1000);
        apps.resize(1000);
        auto median = [](std::vector<double> v) {
            std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
            return v[v.size() / 2];
        };
        EXPECT_NEAR(median(durations), 106, 10.6);
        EXPECT_NEAR(median(apps), 2, 0.2);
        // Rank 1 is used more than rank 2, which is used more than rank 5, in Zipf's proportion.
        Synthetic many(5);
        std::map<AppId, double> counts;
        for (int day = 0; day < 60; ++day)
            for (const Session& s : many.sessions(0, day))
                for (AppId app : s.apps)
                    ++counts[app];
        EXPECT_NEAR(counts[0] / counts[1], 2.0, 0.5);
        EXPECT_NEAR(counts[0] / counts[4], 5.0, 1.5);
    }

    TEST(Synthetic, TheSameSeedGivesTheSameDays)
    {
        auto a = Synthetic(4).day(2, 3), b = Synthetic(4).day(2, 3), c = Synthetic(5).day(2, 3);
        ASSERT_EQ(a.events.size(), b.events.size());
        for (std::size_t i = 0; i < a.events.size(); ++i)
            EXPECT_EQ(a.events[i].time, b.events[i].time);
        EXPECT_NE(a.events.size() == c.events.size() && a.events.front().time == c.events.front().time, true);
    }

    // The bound: knowing the future never costs more regretted closes or cold launches than the
    // library's rules, day by day, at every threshold.
    TEST(Policies, TheOracleIsNeverWorseThanPartsOnAnyDay)
    {
        Footprints footprints(2);
        Replay replay({ 1024, 512 }, footprints);
        auto parts = makePolicy("parts"), oracle = makePolicy("oracle");
        int compared = 0, closing = 0;
        for (const Day& day : Synthetic(2).days(20, 3))
            for (int threshold : { 50, 100, 150, 200, 250, 300 }) {
                Figures p = replay.play(day, *parts, threshold), o = replay.play(day, *oracle, threshold);
                EXPECT_LE(o.regretted60s, p.regretted60s) << day.label << " at " << threshold;
                EXPECT_LE(o.regretted10min, p.regretted10min) << day.label << " at " << threshold;
                EXPECT_LE(o.coldLaunches, p.coldLaunches) << day.label << " at " << threshold;
                ++compared;
                closing += p.closes > 0;
            }
        EXPECT_GT(closing, compared / 2) << "the days must make the policies close";
    }

    TEST(ReplayTool, JsonHasExactlyTheFieldsAndTheChartIsAPng)
    {
        sv::test::DeviceRoot folder;
        std::string chart = folder.path() + "/chart.png";
        auto run = sv::test::runProcess({ sv::test::buildPath("tools/replay/sleepvane-replay"), "--people", "3", "--days",
                                          "2", "--seed", "9", "--thresholds", "100,200", "--json", "--chart", chart },
                                        "", 120);
        ASSERT_EQ(run.status, 0) << run.err;
        // Read back by Python: the JSON's keys, and the PNG's chunks, checksums and size.
        std::string script = R"(
import json, struct, sys, zlib
rows = json.loads(sys.stdin.read())
keys = ["policy", "threshold", "switches", "launches", "cold_launches", "closes", "regretted_60s",
        "regretted_10min", "minutes_under_threshold", "lowest_free"]
assert len(rows) == 8, rows
assert all(list(r.keys()) == keys for r in rows), rows[0].keys()
assert [r["policy"] for r in rows] == ["parts"] * 2 + ["largest-first"] * 2 + ["oracle"] * 2 + ["learn-from-use"] * 2
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
at, idat, size = 8, b"", None
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    assert struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(kind + body)
    if kind == b"IHDR": size = struct.unpack(">II", body[:8])
    if kind == b"IDAT": idat += body
    at += 12 + length
assert size == (1400, 560), size
assert len(zlib.decompress(idat)) > 1400 * 560
print("ok")
)";
        sv::test::writeHostFile(folder.path() + "/check.py", script);
        auto python = sv::test::runProcess({ "/usr/bin/python3", folder.path() + "/check.py", chart }, run.out, 60);
        EXPECT_EQ(python.status, 0) << python.err << run.out;
        EXPECT_EQ(python.out, "ok\n");
    }

} // namespace
} // namespace replay
