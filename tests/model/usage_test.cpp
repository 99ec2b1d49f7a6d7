// Learn From Use's experts and weights as the model states them: whom a phone follows, how the
// regrets move the weights, and what the footprints weigh.
#include "model/usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using model::Expert;
using model::Usage;

// Four suspects, oldest first: the rules name "old"; the score, which keeps the two newest, names
// "rare" (used once) over "old" (used often).
const std::vector<std::string> kSuspects = { "old", "rare", "new1", "new2" };

Usage learnedUsage()
{
    Usage usage;
    // rare first, so that it never follows old, the application in front when it comes back.
    usage.foreground("rare", false);
    for (int i = 0; i < 6; ++i)
        usage.foreground("old", false);
    usage.foreground("new1", false);
    usage.foreground("new2", false);
    return usage;
}

TEST(UsageExperts, ANewPhoneFollowsTheRulesUntilTheirNamesComeBackThreeTimesMore)
{
    Usage usage = learnedUsage();
    ASSERT_EQ(usage.named(Expert::Rules, kSuspects), 0u);
    ASSERT_EQ(usage.named(Expert::Score, kSuspects), 1u);
    double now = 1000;
    for (int regrets = 0; regrets < 3; ++regrets) {
        EXPECT_EQ(usage.trusted(), Expert::Rules) << regrets;
        EXPECT_EQ(usage.pick(kSuspects, now), 0u) << regrets;
        // What the rules named comes back within the window; what the score named does not.
        usage.foreground("old", false, now + 300);
        now += 400;
    }
    EXPECT_EQ(usage.trusted(), Expert::Score);
    EXPECT_EQ(usage.halvings(Expert::Rules), 1);
    EXPECT_EQ(usage.halvings(Expert::Score), 0);
    EXPECT_EQ(usage.pick(kSuspects, now), 1u);
}

TEST(UsageExperts, OnlyATrialsFirstReturnWithinTheWindowOfAPickWhereTheyDifferTeaches)
{
    Usage usage = learnedUsage();
    usage.pick(kSuspects, 0);
    usage.foreground("old", false, model::kRegretWindow + 1); // too late
    EXPECT_EQ(usage.halvings(Expert::Score), model::kHeadStart);
    usage.pick(kSuspects, 2000);
    usage.foreground("old", false, 2010);
    usage.foreground("old", false, 2020); // once a trial
    EXPECT_EQ(usage.halvings(Expert::Score), model::kHeadStart - 1);
    // Both name the only closable one: no trial.
    usage.pick({ "old" }, 3000);
    usage.foreground("old", false, 3010);
    EXPECT_EQ(usage.halvings(Expert::Score), model::kHeadStart - 1);
    // A name made at each of two picks counts at each.
    usage.pick(kSuspects, 4000);
    usage.pick(kSuspects, 4005);
    usage.foreground("old", false, 4100);
    EXPECT_EQ(usage.halvings(Expert::Score), 0);
    EXPECT_EQ(usage.halvings(Expert::Rules), 1);
    // A restart of the home screen forgets the trials, not the weights.
    usage.pick(kSuspects, 5000);
    usage.restarted();
    usage.foreground("old", false, 5010);
    EXPECT_EQ(usage.halvings(Expert::Rules), 1);
}

TEST(UsageExperts, TheLoserFallsAtMostSixBehindSoAChangeOfFavouritesIsFollowedAgain)
{
    Usage usage = learnedUsage();
    double now = 0;
    for (int i = 0; i < 20; ++i, now += 1000) {
        usage.pick(kSuspects, now);
        usage.foreground("old", false, now + 1);
    }
    EXPECT_EQ(usage.halvings(Expert::Rules), model::kMostHalvings);
    // The score's names come back now: after six it is the rules' turn again, not after twenty.
    for (int i = 0; i < model::kMostHalvings; ++i, now += 1000) {
        EXPECT_EQ(usage.trusted(), Expert::Score) << i;
        usage.pick(kSuspects, now);
        usage.foreground("rare", false, now + 1);
    }
    EXPECT_EQ(usage.trusted(), Expert::Rules);
    // Halvings read from anywhere are brought to the same bounds.
    usage.setHalvings(40, 3);
    EXPECT_EQ(usage.halvings(Expert::Rules), model::kMostHalvings);
    EXPECT_EQ(usage.halvings(Expert::Score), 0);
}

TEST(UsageFootprints, WhatOurClosesFreeIsAveragedAndTheScoreClosesTheLargerOfTwoAlike)
{
    Usage usage;
    usage.closed("maps", 100, 100); // nothing freed: nothing learned
    EXPECT_EQ(usage.footprint("maps"), 0);
    EXPECT_EQ(usage.megabytes("maps"), 1) << "with nothing learned, all count alike";
    usage.closed("maps", 100, 181);
    usage.closed("maps", 50, 100);
    EXPECT_EQ(usage.footprint("maps"), 65) << "(81 + 50) / 2, rounded down";
    usage.closed("news", 10, 30);
    EXPECT_EQ(usage.megabytes("radio"), (65 + 20) / 2) << "one never measured counts as the mean";
    // radio and news used alike; radio, unmeasured, counts 42 MB against news's 20: radio goes.
    for (const char* id : { "news", "radio", "a", "b" })
        usage.foreground(id, false);
    usage.setHalvings(1, 0);
    EXPECT_EQ(usage.pick({ "news", "radio", "a", "b" }, 0), 1u);
}

} // namespace
