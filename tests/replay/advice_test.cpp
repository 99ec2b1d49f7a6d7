// The advice among the slider's values, counted by hand: the time low the default leaves, a saving
// clear of one week's noise, one value's luck smoothed away.
#include "playback/recommend.h"

#include <gtest/gtest.h>

namespace replay {
namespace {

    constexpr long kDays = 7;

    // A week at a threshold: cost and minutes low a day.
    Weighed week(int threshold, double costADay, double lowMinutesADay)
    {
        return Weighed { threshold, kDays, costADay * kDays, lowMinutesADay * 60 * kDays };
    }

    int advised(const std::vector<Weighed>& values, Advice::Why* why = nullptr)
    {
        auto got = advise(values);
        if (!got)
            return -1;
        if (why)
            *why = got->why;
        return values[got->index].threshold;
    }

    TEST(Advice, WhereTheDefaultLeavesMemoryLowTheTimeLowIsCutFirstThenTheCostDecides)
    {
        Advice::Why why {};
        // 175 leaves memory low 2 hours a day. 200 halves it (not enough: 30 % at most), 250 cuts
        // it to 25 % at 12 s a day, 300 to 4 % at 11.9 s: 50 MB above 250, 11.9 * 1.25 > 12.
        std::vector<Weighed> values { week(300, 11.9, 5), week(100, 1, 200), week(175, 10, 120), week(200, 1, 60),
                                      week(250, 12, 30) };
        EXPECT_EQ(advised(values, &why), 250);
        EXPECT_EQ(why, Advice::Why::CutsLow);
        // Cheaper by more than the MB cost, 300 wins.
        values[0] = week(300, 9, 5);
        EXPECT_EQ(advised(values), 300);
        // Nothing cuts it to 30 %: the value that leaves memory low the least.
        values[0] = week(300, 9, 40);
        values[4] = week(250, 12, 45);
        EXPECT_EQ(advised(values, &why), 300);
        EXPECT_EQ(why, Advice::Why::NoneCutsLow);
        // Just under the hour a day, memory low is not the matter: the cost decides, and 100 and 200
        // save clearly against 175; 100 would leave memory low more than 3 hours a day, 200 about
        // as long as 175 does.
        values[2] = week(175, 10, 59);
        EXPECT_EQ(advised(values, &why), 200);
        EXPECT_EQ(why, Advice::Why::SavesClearly);
    }

    TEST(Advice, ALighterPhoneLeavesTheDefaultOnlyForAClearSaving)
    {
        Advice::Why why {};
        // 250 saves 2 s a day of 10: under a restart a day.
        std::vector<Weighed> values { week(100, 12, 0), week(175, 10, 0), week(250, 8, 0) };
        EXPECT_EQ(advised(values, &why), 175);
        EXPECT_EQ(why, Advice::Why::Default);
        // 4 s of 10: clear.
        values[2] = week(250, 6, 0);
        EXPECT_EQ(advised(values, &why), 250);
        EXPECT_EQ(why, Advice::Why::SavesClearly);
        // 4 s of 100: over a restart a day, under a tenth.
        values = { week(175, 100, 0), week(250, 96, 0) };
        EXPECT_EQ(advised(values), 175);
        // 30 MB, where the rules never act, waits least but leaves memory low 2 hours a day where
        // 175 leaves it low 2 minutes: not a saving a person would feel as one. 150 within 5
        // minutes more is.
        values = { week(30, 2, 120), week(175, 10, 2), week(250, 8, 0) };
        EXPECT_EQ(advised(values), 175);
        values.push_back(week(150, 5, 6.9));
        EXPECT_EQ(advised(values), 150);
    }

    TEST(Advice, OneLuckyValueAmongItsNeighboursIsNotTheAdvice)
    {
        // 250 alone would save 6 s a day; with 245 and 255 beside it, the three average 9.3.
        std::vector<Weighed> values { week(170, 10, 0), week(175, 10, 0), week(180, 10, 0),
                                      week(245, 12, 0), week(250, 4, 0),  week(255, 12, 0) };
        EXPECT_EQ(advised(values), 175);
        // Neighbours that agree keep it.
        values[3] = week(245, 4, 0);
        values[5] = week(255, 4, 0);
        EXPECT_EQ(advised(values), 245);
    }

    TEST(Advice, EverySetWithADayOnTheSliderGetsAnAnswerAndNothingElseDoes)
    {
        EXPECT_EQ(advised({}), -1);
        EXPECT_EQ(advised({ Weighed { 175, 0, 0, 0 } }), -1) << "no day";
        EXPECT_EQ(advised({ week(400, 1, 0), week(102, 1, 0) }), -1) << "beyond the slider, off its steps";
        Advice::Why why {};
        EXPECT_EQ(advised({ week(400, 1, 0), week(120, 5, 0), week(60, 5, 0) }, &why), 60) << "no default: least cost";
        EXPECT_EQ(why, Advice::Why::LeastCost);
        EXPECT_EQ(advised({ week(175, 0, 0) }), 175);
    }

} // namespace
} // namespace replay
