// Playing days: what the figures count, the generator's statistics, the policies against each
// other, and what the tool writes.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "playback/replay.h"
#include "playback/run.h"
#include "playback/synthetic.h"

#include <algorithm>
#include <map>
#include <set>
#include <gtest/gtest.h>

namespace replay {
namespace {

    TEST(ReplayFigures, CountsLaunchesClosesRestartsAndTimeUnderTheThreshold)
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
        Replay replay({ 1024, 512, 0 }, footprints); // the policy's closes alone: no system killer
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
        EXPECT_EQ(f.restartsAfterOurCloses10min, 2);
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
        Replay replay({ 1024, 512, 0 }, footprints);
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
        EXPECT_EQ(victims["learn-from-use"], big) << "nothing learned yet: the oldest";
    }

    // The settings file holds only what the slider can set (30 to 300 MB); a row beyond it plays
    // the threshold itself, every policy alike, with memory moved in the library's place.
    TEST(ReplayFigures, AThresholdBeyondTheSliderIsThresholdItselfForTheRules)
    {
        Builder b;
        AppId a = b.add("A", 200), bee = b.add("B", 200), c = b.add("C", 200);
        b.build.open(0, a);
        b.build.open(10, bee); // free 600: A leaves, low at 700 and 650, not at 300 or 599
        b.build.open(20, c);   // 400, or 600 once A is closed: B leaves
        b.build.home(30);
        Footprints footprints;
        Replay replay({ 2000, 1000, 0 }, footprints);
        for (const char* name : { "parts", "learn-from-use", "largest-first" }) {
            std::map<int, long> closes;
            for (int threshold : { 300, 599, 600, 650, 700, 1000 }) {
                auto policy = makePolicy(name);
                closes[threshold] = replay.play(b.day, *policy, threshold).closes;
            }
            EXPECT_EQ(closes[300], 0) << name;
            EXPECT_EQ(closes[599], 1) << name << ": C's leave finds 400 MB free after its close";
            EXPECT_EQ(closes[600], 2) << name;
            EXPECT_EQ(closes[700], 2) << name;
            EXPECT_EQ(closes[1000], 3) << name;
        }
        // Below the slider too: at 10 MB nothing is low on this day; at 0 neither.
        for (int threshold : { 0, 10 }) {
            auto policy = makePolicy("parts");
            EXPECT_EQ(replay.play(b.day, *policy, threshold).closes, 0) << threshold;
        }
        EXPECT_TRUE(sliderHolds(30) && sliderHolds(300) && !sliderHolds(29) && !sliderHolds(301));
    }

    // The bound has the freedom Learn From Use has and no other: which suspect goes. An
    // application the rules spare (background work) is never closed by it, however cheap.
    TEST(Policies, TheOracleClosesOnlyWhatTheRulesCouldClose)
    {
        Builder b;
        AppId nav = b.add("Nav", 200), a = b.add("A", 150), c = b.add("C", 150);
        b.day.apps[nav].flags = { "location" };
        auto event = [&](double time, Event::Kind kind, AppId app, int state = 0) {
            Event e;
            e.kind = kind;
            e.time = time;
            e.app = app;
            e.state = state;
            b.day.events.push_back(e);
        };
        event(0, Event::Kind::Launch, nav);
        event(0, Event::Kind::State, nav, 4);
        event(10, Event::Kind::Launch, a); // 162 free
        event(10, Event::Kind::State, a, 4);
        event(10, Event::Kind::State, nav, 3); // navigating in the background: spared
        event(20, Event::Kind::Launch, c);     // 12 free: A leaves, the only suspect
        event(20, Event::Kind::State, c, 4);
        event(20, Event::Kind::State, a, 2);
        event(60, Event::Kind::Launch, a);
        event(60, Event::Kind::State, a, 4);
        event(60, Event::Kind::State, c, 2);
        Footprints footprints;
        Replay replay({ 1024, 512, 0 }, footprints);
        for (const char* name : { "parts", "oracle" }) {
            auto policy = makePolicy(name);
            std::vector<Closed> closes;
            Figures f = replay.play(b.day, *policy, 200, &closes);
            ASSERT_FALSE(closes.empty()) << name;
            EXPECT_EQ(closes[0].app, a) << name;
            EXPECT_DOUBLE_EQ(closes[0].time, 21) << name;
            EXPECT_EQ(f.regretted60s, 1) << name;
            for (const Closed& closed : closes)
                EXPECT_NE(closed.app, nav) << name;
        }
        // Another timing would have closed Nav, never used again, for nothing.
        auto largest = makePolicy("largest-first");
        std::vector<Closed> closes;
        replay.play(b.day, *largest, 200, &closes);
        ASSERT_FALSE(closes.empty());
        EXPECT_EQ(closes[0].app, nav);
    }

    double median(std::vector<double> v)
    {
        std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
        return v[v.size() / 2];
    }

    // The habits change which application comes and when a session starts, never how long a
    // session is or how many applications it holds.
    TEST(Synthetic, SessionsMatchThePublishedMediansWithEveryHabitOnOrOff)
    {
        for (Habits habits : { Habits::none(), Habits {} }) {
            Synthetic generator(11, habits);
            std::vector<double> durations, apps;
            for (int person = 0; durations.size() < 1000; ++person)
                for (const Session& s : generator.sessions(person, 0)) {
                    durations.push_back(s.duration);
                    apps.push_back(double(s.apps.size()));
                }
            durations.resize(1000);
            apps.resize(1000);
            EXPECT_NEAR(median(durations), 106, 10.6) << habits.text();
            EXPECT_NEAR(median(apps), 2, 0.2) << habits.text();
        }
    }

    TEST(Synthetic, WithoutHabitsPopularityFollowsZipf)
    {
        // Rank 1 is used more than rank 2, which is used more than rank 5, in Zipf's proportion.
        Synthetic many(5, Habits::none());
        std::map<AppId, double> counts;
        for (int day = 0; day < 60; ++day)
            for (const Session& s : many.sessions(0, day))
                for (AppId app : s.apps)
                    ++counts[app];
        EXPECT_NEAR(counts[0] / counts[1], 2.0, 0.5);
        EXPECT_NEAR(counts[0] / counts[4], 5.0, 1.5);
    }

    // Each habit leaves its mark, and only when it is on.
    TEST(Synthetic, EachHabitShowsWhenOnAndOnlyThen)
    {
        struct Marks {
            double returns = 0, thirds = 0;     // A, B, A among applications from the third on
            double followed = 0, pairs = 0;     // the commonest successor's share of what follows
            double shortGaps = 0, gaps = 0;     // sessions starting within 5 minutes of the last
            double sameFirst = 0;               // ... and with the same first application
        };
        auto measure = [](Habits habits) {
            Synthetic generator(3, habits);
            Marks m;
            std::map<AppId, std::map<AppId, int>> next;
            for (int person = 0; person < 20; ++person)
                for (int day = 0; day < 5; ++day) {
                    auto sessions = generator.sessions(person, day);
                    for (std::size_t i = 0; i < sessions.size(); ++i) {
                        const auto& apps = sessions[i].apps;
                        for (std::size_t k = 2; k < apps.size(); ++k) {
                            ++m.thirds;
                            m.returns += apps[k] == apps[k - 2];
                        }
                        for (std::size_t k = 1; k < apps.size(); ++k)
                            ++next[apps[k - 1] + 1000 * person][apps[k]];
                        if (i > 0) {
                            ++m.gaps;
                            bool soon = sessions[i].start - sessions[i - 1].start - sessions[i - 1].duration < 300;
                            m.shortGaps += soon;
                            m.sameFirst += soon && apps[0] == sessions[i - 1].apps[0];
                        }
                    }
                }
            for (const auto& [from, to] : next) {
                int total = 0, most = 0;
                for (const auto& [app, n] : to) {
                    total += n;
                    most = std::max(most, n);
                }
                if (total >= 10) {
                    m.followed += most;
                    m.pairs += total;
                }
            }
            return m;
        };
        auto favourite = [](const std::map<AppId, int>& uses, int rank) {
            std::vector<std::pair<int, AppId>> order;
            for (const auto& [app, n] : uses)
                order.emplace_back(-n, app);
            std::sort(order.begin(), order.end());
            return order[std::size_t(rank)].second;
        };
        Marks none = measure(Habits::none()), all = measure(Habits {});
        Habits only;
        only = Habits::none();
        only.returns = true;
        Marks returns = measure(only);
        only = Habits::none();
        only.successions = true;
        Marks successions = measure(only);
        only = Habits::none();
        only.bursts = true;
        Marks bursts = measure(only);

        EXPECT_LT(none.returns / none.thirds, 0.16); // two draws of the same favourite
        EXPECT_GT(returns.returns / returns.thirds, 0.3);
        EXPECT_GT(all.returns / all.thirds, 0.3);
        EXPECT_GT(successions.followed / successions.pairs, none.followed / none.pairs + 0.08);
        EXPECT_LT(none.sameFirst / none.gaps, 0.05);
        EXPECT_GT(bursts.sameFirst / bursts.gaps, 0.15);
        EXPECT_GT(bursts.shortGaps, none.shortGaps * 1.5);
        // Dayparts: the favourite leads all day; what comes third changes from morning to evening.
        auto byPart = [&](Habits habits) {
            std::map<int, std::map<AppId, int>> uses;
            Synthetic generator(3, habits);
            for (int day = 0; day < 40; ++day)
                for (const Session& s : generator.sessions(0, day))
                    for (AppId app : s.apps)
                        ++uses[s.start < 11 * 3600 ? 0 : s.start >= 17 * 3600 ? 2 : 1][app];
            std::set<AppId> first, third;
            for (const auto& [part, counts] : uses) {
                first.insert(favourite(counts, 0));
                third.insert(favourite(counts, 2));
            }
            return std::pair(first.size(), third.size());
        };
        only = Habits::none();
        only.dayparts = true;
        EXPECT_EQ(byPart(Habits::none()), std::pair(std::size_t(1), std::size_t(1)));
        EXPECT_EQ(byPart(only).first, 1u);
        EXPECT_GT(byPart(only).second, 1u);
        // Shifts: each part of the day has a favourite of its own; from the fourth day the first
        // favourite is gone and an application unused before is used most.
        only = Habits::none();
        only.shifts = true;
        EXPECT_EQ(byPart(only).first, 3u);
        auto usesOf = [&](Habits habits, int from, int to) {
            std::map<AppId, int> uses;
            Synthetic generator(3, habits);
            for (int day = from; day < to; ++day)
                for (const Session& s : generator.sessions(0, day))
                    for (AppId app : s.apps)
                        ++uses[app];
            return uses;
        };
        auto early = usesOf(only, 0, Synthetic::kShiftNewcomerDay), late = usesOf(only, Synthetic::kShiftNewcomerDay, 7);
        // The first favourite (rank 0) goes; the last application, unused till then, comes.
        AppId dropped = 0, newcomer = AppId(Synthetic(3, only).catalogue(0).size() - 1);
        EXPECT_GT(early.count(dropped), 0u);
        EXPECT_GT(late.count(newcomer), 0u);
        EXPECT_EQ(late.count(dropped), 0u);
        EXPECT_EQ(early.count(newcomer), 0u);
        EXPECT_EQ(usesOf(Habits::none(), Synthetic::kShiftNewcomerDay, 7).count(dropped), 1u);
    }

    TEST(Synthetic, HabitsAreNamedOnTheCommandLine)
    {
        EXPECT_EQ(Habits::parse("all", nullptr)->text(), "all");
        EXPECT_EQ(Habits::parse("none", nullptr)->text(), "none");
        EXPECT_EQ(Habits::parse("bursts,returns", nullptr)->text(), "returns,bursts");
        EXPECT_EQ(Habits::parse("returns,successions,dayparts,bursts,shifts", nullptr)->text(), "all");
        EXPECT_EQ(Habits::parse("shifts", nullptr)->text(), "shifts");
        std::string why;
        EXPECT_FALSE(Habits::parse("returns,,bursts", &why));
        EXPECT_FALSE(Habits::parse("", &why));
        EXPECT_NE(why.find("(not '')"), std::string::npos) << why;
    }

    TEST(Synthetic, TheSameSeedGivesTheSameDays)
    {
        auto a = Synthetic(4).day(2, 3), b = Synthetic(4).day(2, 3), c = Synthetic(5).day(2, 3);
        ASSERT_EQ(a.events.size(), b.events.size());
        for (std::size_t i = 0; i < a.events.size(); ++i)
            EXPECT_EQ(a.events[i].time, b.events[i].time);
        EXPECT_NE(a.events.size() == c.events.size() && a.events.front().time == c.events.front().time, true);
    }

    // The bound: knowing the future never costs more regretted closes, restarts, system kills or cold
    // launches than the library's rules, day by day, at every threshold, with the system's killer
    // on and every habit.
    TEST(Policies, TheOracleIsNeverWorseThanPartsOnAnyDay)
    {
        Footprints footprints;
        Replay replay({ 1024, 512 }, footprints);
        auto parts = makePolicy("parts"), oracle = makePolicy("oracle");
        int compared = 0, closing = 0, better = 0;
        for (const Day& day : Synthetic(2).days(20, 3))
            for (int threshold : { 50, 100, 150, 200, 250, 300 }) {
                Figures p = replay.play(day, *parts, threshold), o = replay.play(day, *oracle, threshold);
                EXPECT_LE(o.regretted60s, p.regretted60s) << day.label << " at " << threshold;
                EXPECT_LE(o.restartsAfterOurCloses10min, p.restartsAfterOurCloses10min) << day.label << " at " << threshold;
                EXPECT_LE(o.systemKills, p.systemKills) << day.label << " at " << threshold;
                EXPECT_LE(o.coldLaunches, p.coldLaunches) << day.label << " at " << threshold;
                ++compared;
                closing += p.closes > 0;
                better += o.restartsAfterOurCloses10min < p.restartsAfterOurCloses10min;
            }
        EXPECT_GT(closing, compared / 2) << "the days must make the policies close";
        EXPECT_GT(better, compared / 4) << "foresight must find better victims";
    }

    // Each thread plays whole people with policies of its own; the sums come in the people's order.
    TEST(Run, TheFiguresDoNotDependOnTheThreads)
    {
        Footprints footprints;
        Replay replay({ 1024, 512 }, footprints);
        auto figures = [&](unsigned threads) {
            SyntheticDays days(Synthetic(8), 12, 2);
            return playAll(days, replay, policyNames(), { 100, 250 }, threads);
        };
        replay::Run one = figures(1), three = figures(3);
        ASSERT_EQ(one.rows().size(), 8u);
        EXPECT_EQ(one.days(), 24);
        for (std::size_t i = 0; i < one.rows().size(); ++i) {
            const Figures &a = one.rows()[i], &b = three.rows()[i];
            EXPECT_EQ(a.policy, b.policy);
            EXPECT_EQ(a.closes, b.closes) << a.policy << " " << a.threshold;
            EXPECT_EQ(a.restartsAfterOurCloses10min, b.restartsAfterOurCloses10min);
            EXPECT_EQ(a.systemKills, b.systemKills);
            EXPECT_EQ(a.secondsLow, b.secondsLow);
            EXPECT_EQ(a.secondsUnderThreshold, b.secondsUnderThreshold);
        }
        EXPECT_EQ(one.recommendations()[0].own.people, 12);
    }

    TEST(ReplayTool, JsonHasExactlyTheFieldsAndTheChartIsAPng)
    {
        sv::test::DeviceRoot folder;
        std::string chart = folder.path() + "/chart.png";
        auto run = replayTool(
            { "--people", "3", "--days", "2", "--seed", "9", "--thresholds", "100,200", "--json", "--chart", chart });
        ASSERT_EQ(run.status, 0) << run.err;
        // Read back by Python: the JSON's keys, and the PNG's chunks, checksums and size.
        std::string script = R"(
import json, struct, sys, zlib
rows = json.loads(sys.stdin.read())
keys = ["policy", "threshold", "switches", "launches", "cold_launches", "closes", "restarts_60s", "restarts_10min",
        "restarts_60s_count", "restarts_10min_count", "regretted_60s",
        "regretted_10min", "minutes_under_threshold", "lowest_free", "days", "days_without_system_kill",
        "regretted_60s_count", "regretted_10min_count", "system_kills", "foreground_kills", "system_reopened_60s",
        "system_reopened_10min", "system_reopened_60s_count", "system_reopened_10min_count", "minutes_low",
        "share_of_gap_60s", "share_of_gap_10min", "recommended_threshold", "recommended", "people",
        "slider_holds", "low_launches_count", "cost_per_day", "own_best_lowest", "own_best_median", "own_best_highest",
        "people_near", "beyond_threshold", "beyond_saves_per_day", "restarts_after_our_closes_10min",
        "restarts_after_our_closes_10min_count", "restarts_after_system_kills_60s", "restarts_after_system_kills_10min",
        "restarts_after_system_kills_60s_count", "restarts_after_system_kills_10min_count"]
assert len(rows) == 8, rows
assert all(list(r.keys()) == keys for r in rows), rows[0].keys()
# The first names of two figures stay beside the words used now.
assert all(r["regretted_10min_count"] == r["restarts_after_our_closes_10min_count"]
           and r["system_reopened_60s_count"] == r["restarts_after_system_kills_60s_count"] for r in rows), rows[0]
assert [r["policy"] for r in rows] == ["parts"] * 2 + ["largest-first"] * 2 + ["oracle"] * 2 + ["learn-from-use"] * 2
assert all(r["days"] == 6 and r["people"] == 3 for r in rows), rows
assert all(r["share_of_gap_10min"] is None or r["policy"] != "parts" or r["share_of_gap_10min"] == 0 for r in rows)
assert [r["share_of_gap_10min"] for r in rows if r["policy"] == "oracle"] in ([1.0, 1.0], [None, None], [1.0, None], [None, 1.0])
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
