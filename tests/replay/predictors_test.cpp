// The learn-from-use policy's knobs and the predictor experiments played through the model's seam.
#include "playback/policies.h"
#include "playback/run.h"
#include "playback/synthetic.h"

#include <gtest/gtest.h>

namespace replay {
namespace {

    TEST(Policies, LearnFromUseKnobsCombineAndAreStrict)
    {
        std::string why;
        auto knobs = policyKnobs("half=50:extra=3", &why);
        ASSERT_TRUE(knobs) << why;
        EXPECT_EQ(knobs->half, 50);
        EXPECT_EQ(knobs->extra, 3);
        knobs = policyKnobs("follow=3:window=300:recency", &why);
        ASSERT_TRUE(knobs) << why;
        EXPECT_EQ(knobs->follow, 3);
        EXPECT_EQ(knobs->window, 300);
        EXPECT_TRUE(knobs->recency);
        knobs = policyKnobs("keep=1:size=0.5:margin=1:alone", &why);
        ASSERT_TRUE(knobs) << why;
        EXPECT_EQ(knobs->keep, 1);
        EXPECT_EQ(knobs->size, 0.5);
        EXPECT_EQ(knobs->margin, 1);
        EXPECT_TRUE(knobs->alone);
        for (const char* bad : { "extra=abc", "extra=3x", "half=0", "half=-1", "extra=inf", "window=2.5", "window=0",
                                 "recency=1", "half=5:half=6", "speed=3", "half=5::extra=1", "half", "keep=-1",
                                 "keep=1.5", "size=-1", "size", "margin=-2", "alone=1" }) {
            EXPECT_FALSE(policyKnobs(bad, &why)) << bad;
            EXPECT_FALSE(makePolicy(std::string("learn-from-use:") + bad)) << bad;
        }
        EXPECT_TRUE(makePolicy("learn-from-use:half=50:extra=3"));
        EXPECT_FALSE(makePolicy("learn-from-use,half=50", &why));
        EXPECT_NE(why.find("unknown policy"), std::string::npos) << why;
    }

    // The experiments' predictor with the rule's own knobs, played through the model's seam, is the
    // rule: the seam changes nothing but who answers.
    TEST(Policies, ThePredictorWithTheRulesKnobsPlaysAsTheRule)
    {
        Footprints footprints;
        Replay replay({ 2048, 768 }, footprints);
        auto days = Synthetic(5).days(6, 3);
        std::vector<std::string> names = { "learn-from-use", "learn-from-use:half=400:extra=1:follow=20:keep=2:size=0:margin=2" };
        Player player(replay, names, { 200, 300 });
        auto figures = player.play(days);
        ASSERT_EQ(figures.size(), 4u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_GT(figures[i].closes, 50);
            EXPECT_EQ(figures[i].closes, figures[i + 2].closes);
            EXPECT_EQ(figures[i].restartsAfterOurCloses10min, figures[i + 2].restartsAfterOurCloses10min);
            EXPECT_EQ(figures[i].coldLaunches, figures[i + 2].coldLaunches);
        }
        // And a predictor without the guard of recency plays otherwise.
        Player unguarded(replay, { "learn-from-use:keep=0" }, { 200, 300 });
        auto other = unguarded.play(days);
        EXPECT_NE(other[0].coldLaunches + other[1].coldLaunches, figures[0].coldLaunches + figures[1].coldLaunches);
    }

} // namespace
} // namespace replay
