// The system's own low-memory killer and the recommendation it leads to: a tiny trace counted by
// hand, the killer's choice, and the recommendation over people.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "playback/recommend.h"
#include "playback/run.h"

#include <gtest/gtest.h>

namespace replay {
namespace {

    std::string tiny(const char* file) { return std::string(SV_SOURCE_DIR) + "/tests/replay/tiny/" + file; }
    bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

    // tests/replay/tiny: a device of 1000 MB, 500 used by the system, the floor at 100 MB (so the
    // low line at 200 MB); Small 100, Mid 150, Big 300, Huge 450 MB. Applications hold 500 MB at
    // most, and the system kills when a launch leaves less than 100.
    //
    // tiny.tsv, person 1 (day A):
    //   08:00 Mid (free 350)   08:01 Small, Mid leaves (250)   08:02 Big, Small leaves
    //   08:03 Big leaves        08:04 Mid                       08:05 Mid leaves
    //  at 50: nothing is ever low for the rules. 08:02: Mid, Small and Big would leave -50: the
    //    system kills Mid (the lowest band: Small was left last), 100 free. 08:04: Mid again
    //    (killed 2 min ago: reopened within 10 min) would leave -50: Small goes (lowest band),
    //    then Big (the one left last), 350 free. 3 kills, 1 reopened; under 200 MB from 08:02 to
    //    08:04: 2 minutes low; lowest 100.
    //  at 150: 08:01 leaves 250, not low. 08:02: the system kills Mid as at 50 (100 free); Small's
    //    leave finds 100 <= 150 with two suspects: the rules take the oldest, Mid, which the
    //    system already killed: the close at 08:02:01 frees nothing, and the chain's re-check
    //    3.6 s later closes Small at 08:02:05.6 (200 free). 08:04: Mid (reopened) and Big would
    //    leave 50: the system kills Big. 2 kills, 1 close, no restart after it; 5.6 s under the
    //    threshold and under the low line.
    //  at 250: 08:01 leaves 250 <= 250: Mid is closed at 08:01:01 (400); 08:02 Big: 100 free,
    //    no kill, Small's leave closes Small at 08:02:01 (200); 08:03 Big's leave closes Big at
    //    08:03:01 (500); 08:04 Mid again, 179 s after its close: a restart after our close, not
    //    regretted. No kill, 3 closes; under the threshold 1 + 1 + 59 + 1 = 62 s, under the low
    //    line 1 s.
    //  Low launches (waiting for the system to free memory): at 50 and 150, Big's launch at 08:02
    //    and Mid's at 08:04 (each made the system kill; at 150 Mid's found 200, not under the low
    //    line, but killed Big); at 250 none. Below 250 Mid is never closed at 08:01, so Big's launch
    //    makes the system kill: 250 is the lowest slider value at the least cost, (3 + 0) / 2 =
    //    1.5 s a day against (3 + 2 * 0.25) / 2 at 50 and 175, a saving well under a restart a day:
    //    175, the default, is the advice. Person 2's day costs nothing anywhere: 175 too.
    //  Restarts, whoever caused them: Mid's return at 08:04 is one at every threshold (killed by
    //    the system at 50 and 150, closed by the rules at 250), none within 60 s.
    // tiny.tsv, person 2 (day C): Small opened at 09:00 and left at 09:01: nothing happens.
    // foreground.tsv, person 3: Huge alone would leave 50: with no other application to take,
    // the system kills the one in front; Small later, nothing more.
    TEST(TinyTrace, EveryFigureIsCountedAsByHand)
    {
        sv::test::DeviceRoot folder;
        auto run = replayTool({ "--trace", tiny("tiny.tsv"), "--footprints", tiny("footprints.txt"), "--device",
                                "total=1000,base=500,floor=100", "--thresholds", "50,150,250", "--policies", "parts",
                                "--json" });
        ASSERT_EQ(run.status, 0) << run.err;
        std::string script = R"(
import json, sys
rows = {r["threshold"]: r for r in json.loads(sys.stdin.read())}
def expect(threshold, **figures):
    for key, value in figures.items():
        got = rows[threshold][key]
        assert (abs(got - value) < 0.006 if isinstance(value, float) else got == value), (threshold, key, got, value)
common = dict(days=2, switches=5, launches=5, cold_launches=5, foreground_kills=0, system_reopened_60s_count=0,
              restarts_60s_count=0, restarts_10min_count=1, restarts_10min=20.0,
              lowest_free=100.0, recommended_threshold=175, people=2, own_best_lowest=175, own_best_highest=175)
expect(50, closes=0, regretted_10min_count=0, system_kills=3, system_reopened_10min_count=1, low_launches_count=2,
       cost_per_day=1.75,
       minutes_under_threshold=0.0, minutes_low=2.0, days_without_system_kill=1, recommended=False, **common)
expect(150, closes=1, regretted_10min_count=0, system_kills=2, system_reopened_10min_count=1, low_launches_count=2,
       cost_per_day=1.75,
       minutes_under_threshold=5.6 / 60, minutes_low=5.6 / 60, days_without_system_kill=1, recommended=False, **common)
expect(250, closes=3, regretted_10min_count=1, regretted_60s_count=0, regretted_10min=20.0, system_kills=0,
       low_launches_count=0, cost_per_day=1.5,
       system_reopened_10min_count=0, minutes_under_threshold=62 / 60, minutes_low=1 / 60, days_without_system_kill=2,
       recommended=False, **common)
print("ok")
)";
        sv::test::writeHostFile(folder.path() + "/check.py", script);
        auto python = sv::test::runProcess({ "/usr/bin/python3", folder.path() + "/check.py" }, run.out, 60);
        EXPECT_EQ(python.out, "ok\n") << python.err << run.out;

        // The same in words: the parameters above the table, the recommendation below it.
        auto text = replayTool({ "--trace", tiny("tiny.tsv"), "--footprints", tiny("footprints.txt"), "--device",
                                 "total=1000,base=500,floor=100", "--thresholds", "50,150,250", "--policies", "parts" });
        EXPECT_EQ(text.out.rfind("device: 1000 MB, 500 MB used by the system, floor 100 MB; minutes low: free memory "
                                 "under 200 MB\ndays: trace " + tiny("tiny.tsv") + ", 2 people, 2 days\n", 0),
                  0u)
            << text.out;
        EXPECT_TRUE(has(text.out, "recommended threshold (parts): 175 MB, the slider's value by default, as no other "
                                "saves clearly against it over the 2 days: 1.8 s a day spent waiting (20.00 restarts "
                                "within 10 minutes per 100 switches, 0.0 minutes a day with memory low); the 2 people's "
                                "own values lie from 175 to 175 MB, half of them from 175 to 175 MB, 2 within 25 MB of "
                                "it\n"))
            << text.out;
    }

    TEST(TinyTrace, TheApplicationInFrontIsKilledWhateverTheThresholdAndStillThereIsAnAnswer)
    {
        auto run = replayTool({ "--trace", tiny("tiny.tsv"), "--trace", tiny("foreground.tsv"), "--footprints",
                                tiny("footprints.txt"), "--device", "total=1000,base=500,floor=100", "--thresholds",
                                "50,150,250", "--policies", "parts" });
        ASSERT_EQ(run.status, 0) << run.err;
        // At 250: person 3's launch of Huge is one low launch, one kill, in front: (3 + 0.25 + 30) / 3.
        EXPECT_TRUE(has(run.out, "parts                250        7        7       7       3        0.00         14.29"
                               "            1         1        1        1.0       0.0      100 MB       11.1\n"))
            << run.out;
        // 11.1 s a day against 11.2 at 175: no clear saving, so the default stays.
        EXPECT_TRUE(has(run.out, "recommended threshold (parts): 175 MB, the slider's value by default, as no other saves "
                               "clearly against it over the 3 days: 11.2 s a day spent waiting"))
            << run.out;

        // One person, one day the same at every threshold: the default.
        auto one = replayTool({ "--trace", tiny("foreground.tsv"), "--footprints", tiny("footprints.txt"), "--device",
                                "total=1000,base=500,floor=100", "--thresholds", "250", "--policies", "parts" });
        EXPECT_TRUE(has(one.out, "days: trace " + tiny("foreground.tsv") + ", 1 person, 1 day\n"))
            << one.out;
        EXPECT_TRUE(has(one.out, "recommended threshold (parts): 175 MB, the slider's value by default, as no other saves "
                               "clearly against it over the 1 day: 30.2 s a day spent waiting (0.00 restarts within 10 "
                               "minutes per 100 switches, 0.0 minutes a day with memory low); the one person's own value "
                               "is 175 MB\n"))
            << one.out;
    }

    TEST(TinyTrace, TheFloorIsFivePercentOfTotalUnlessGiven)
    {
        auto run = replayTool({ "--trace", tiny("tiny.tsv"), "--footprints", tiny("footprints.txt"), "--device",
                                "total=1000,base=500", "--thresholds", "50", "--policies", "parts" });
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.rfind("device: 1000 MB, 500 MB used by the system, floor 50 MB (5 % of total); minutes low: "
                                "free memory under 150 MB\n", 0),
                  0u)
            << run.out;
    }

    // A policy that never closes: what is killed is the system's doing alone.
    class Idle final : public Policy {
    public:
        std::string name() const override { return "idle"; }
        void beginDay(Stage&) override { }
        void observe(const Event&) override { }
        void advanceTo(double) override { }
    };

    TEST(SystemKiller, TheLargestOfTheLowestBandGoesTheApplicationLeftLastAfterIt)
    {
        Builder b;
        AppId old = b.add("Old", 60), large = b.add("Large", 120), last = b.add("Last", 200), next = b.add("Next", 100);
        b.build.open(0, old);    // 440 free of 500
        b.build.open(10, large); // 320
        b.build.open(20, last);  // 120
        // 20 < 50: the application left last (Last) is spared; of Old and Large the larger goes: 140.
        b.build.open(30, next);
        b.build.home(40);
        b.build.open(50, old); // warm: nothing
        // Large again would leave 20: Old was left last; of Next and Last the larger, Last, goes: 220.
        b.build.open(60, large);
        b.build.home(70);
        Footprints footprints;
        Replay replay({ 1000, 500, 50 }, footprints);
        Idle idle;
        std::vector<Closed> closes;
        Figures f = replay.play(b.day, idle, 100, &closes);
        EXPECT_TRUE(closes.empty()) << "the system's kills are not the policy's closes";
        EXPECT_EQ(f.systemKills, 2);
        EXPECT_EQ(f.foregroundKills, 0);
        EXPECT_EQ(f.restartsAfterSystemKills60s, 1); // Large, 30 s after its kill
        EXPECT_EQ(f.restartsAfterSystemKills10min, 1);
        EXPECT_EQ(f.coldLaunches, 5);
        EXPECT_DOUBLE_EQ(f.lowestFree, 120); // at 20, before the system had to act
        EXPECT_EQ(f.daysWithoutSystemKill, 0);

        Figures none = replay.withoutSystemKiller().play(b.day, idle, 100);
        EXPECT_EQ(none.systemKills, 0);
        EXPECT_DOUBLE_EQ(none.lowestFree, 20); // at 30, all four running
        EXPECT_EQ(none.daysWithoutSystemKill, 1);
    }

    TEST(Recommendation, TheSliderValueWithTheLeastCostTheLowerOfEqualsAndWhatLiesBeyond)
    {
        Costs costs; // restart 3 s, a low launch 0.25 s, the application in front killed 30 s
        costs.restart = 3;
        costs.lowLaunch = 0.25;
        costs.frontKill = 30;
        Recommender r("parts", { 300, 100, 200, 50, 400 }, costs);
        auto day = [](int threshold, long restarts, long low, long front = 0) {
            Figures f;
            f.threshold = threshold;
            f.days = 1;
            f.switches = 10;
            f.restarts10min = restarts;
            f.lowLaunches = low;
            f.foregroundKills = front;
            return f;
        };
        // 4 people, 5 days each. A day costs: at 50, 3 + 5 = 8 s; at 100, 3 + 1 = 4 s; at 200,
        // 0 + 4 = 4 s (as 100: the lower is taken); at 300, 6 s (p3: 0 s); at 400, beyond the
        // slider, 1 s. Summed at 300: (15 * 6 + 0) / 20 = 4.5 s a day, more than 4.
        for (int d = 0; d < 20; ++d) {
            std::string person = "p" + std::to_string(d % 4);
            r.add(person, 50, day(50, 1, 20));
            r.add(person, 100, day(100, 1, 4));
            r.add(person, 200, day(200, 0, 16));
            r.add(person, 300, person == "p3" ? day(300, 0, 0) : day(300, 2, 0));
            r.add(person, 400, day(400, 0, 4));
            r.add(person, 150, day(150, 0, 0)); // not a threshold of the run: left out
        }
        Recommendation got = r.result();
        ASSERT_TRUE(got.threshold);
        EXPECT_EQ(*got.threshold, 100);
        EXPECT_DOUBLE_EQ(got.costPerDay, 4);
        EXPECT_EQ(got.figures.days, 20);
        ASSERT_TRUE(got.beyond);
        EXPECT_EQ(*got.beyond, 400);
        EXPECT_DOUBLE_EQ(got.beyondSaves, 3);
        // Own values: p0 to p2 100 (the lower of 100 and 200), p3 300.
        EXPECT_EQ(got.own.people, 4);
        EXPECT_EQ(got.own.lowest, 100);
        EXPECT_EQ(got.own.median, 100);
        EXPECT_EQ(got.own.highest, 300);
        EXPECT_EQ(got.own.near, 3);

        // Beyond the slider costing more is not said; a value off the slider's steps is never the answer.
        Recommender within("parts", { 50, 102, 300 }, costs);
        within.add("me", 50, day(50, 1, 0));
        within.add("me", 102, day(102, 0, 0));
        within.add("me", 300, day(300, 2, 0));
        got = within.result();
        ASSERT_TRUE(got.threshold);
        EXPECT_EQ(*got.threshold, 50);
        EXPECT_FALSE(got.beyond);
    }

    TEST(Recommendation, ForASetOfDaysCalledAsTheDiaryWillBe)
    {
        std::vector<Day> days;
        for (double big : { 100.0, 300.0 }) {
            Builder b;
            AppId a = b.add("A", 250), c = b.add("C", big);
            b.build.open(0, a);
            b.build.open(10, c); // 250 + big of 500: with 300 the system kills A whatever the threshold
            b.build.home(20);
            b.day.person = "me";
            days.push_back(b.day);
        }
        Footprints footprints;
        Replay replay({ 1000, 500, 50 }, footprints);
        auto got = recommend(days, replay, "parts", { 100, 200 });
        // Every set of days with a day gets a slider value, kills or not.
        ASSERT_TRUE(got);
        ASSERT_TRUE(got->threshold);
        EXPECT_EQ(got->figures.days, 2);
        EXPECT_FALSE(recommend({}, replay, "parts", { 100, 200 })->threshold) << "no day, no answer";
        EXPECT_FALSE(recommend(days, replay, "nothing", { 100 }));
    }

} // namespace
} // namespace replay
