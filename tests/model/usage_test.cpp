// Learn From Use's experts and weights as the model states them: whom a phone follows, how the
// restarts move the weights, and when the score names another than the oldest.
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

TEST(UsageExperts, ANewPhoneFollowsTheRulesUntilOneOfTheirNamesComesBack)
{
    Usage usage = learnedUsage();
    ASSERT_EQ(usage.named(Expert::Rules, kSuspects), 0u);
    ASSERT_EQ(usage.named(Expert::Score, kSuspects), 1u);
    EXPECT_EQ(usage.trusted(), Expert::Rules);
    EXPECT_EQ(usage.pick(kSuspects, 1000), 0u);
    // What the rules named comes back within the window; what the score named does not.
    usage.foreground("old", false, 1300);
    EXPECT_EQ(usage.trusted(), Expert::Score);
    EXPECT_EQ(usage.halvings(Expert::Rules), 1);
    EXPECT_EQ(usage.halvings(Expert::Score), 0);
    EXPECT_EQ(usage.pick(kSuspects, 2000), 1u);
}

TEST(UsageExperts, AReturnWithinTheWindowCostsAnExpertOneHalvingHoweverOftenItWasNamed)
{
    Usage usage = learnedUsage();
    usage.pick(kSuspects, 0);
    usage.foreground("old", false, model::kRestartWindow + 1); // too late
    EXPECT_EQ(usage.halvings(Expert::Rules), 0);
    // Two picks name old and rare each; old's return costs the rules once, rare's the score once.
    usage.pick(kSuspects, 2000);
    usage.pick(kSuspects, 2005);
    usage.foreground("old", false, 2010);
    usage.foreground("old", false, 2015);
    EXPECT_EQ(usage.halvings(Expert::Rules), 1);
    usage.foreground("rare", false, 2020);
    EXPECT_EQ(usage.halvings(Expert::Rules), 0);
    EXPECT_EQ(usage.halvings(Expert::Score), 0);
    // A restart of the home screen forgets the trials, not the weights.
    ASSERT_EQ(usage.named(Expert::Score, kSuspects), 1u);
    usage.pick(kSuspects, 2500);
    usage.restarted();
    usage.foreground("old", false, 2510);
    EXPECT_EQ(usage.halvings(Expert::Rules), 0);
    // Both name the only closable one: no trial.
    usage.pick({ "old" }, 3000);
    usage.foreground("old", false, 3010);
    EXPECT_EQ(usage.halvings(Expert::Rules), 0);
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

TEST(UsageFootprints, WhatOurClosesFreeIsAveragedAndAnUnmeasuredOneCountsAsTheMean)
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
}

// The score overrules the oldest only for a suspect under half as likely whose close frees no less.
TEST(UsageScore, NamesAnotherThanTheOldestOnlyWhenFarLessLikelyAndFreeingNoLess)
{
    auto used = [](int oldUses) {
        Usage usage;
        for (int i = 0; i < 2; ++i)
            usage.foreground("rare", false);
        for (int i = 0; i < oldUses; ++i)
            usage.foreground("old", false);
        usage.foreground("new1", false);
        usage.foreground("new2", false);
        return usage;
    };
    // rare 2 uses (+1: 3, doubled 6) against old's 4 (+1: 5): not under half, the oldest.
    EXPECT_EQ(used(4).named(Expert::Score, kSuspects), 0u);
    Usage usage = used(8);
    EXPECT_EQ(usage.named(Expert::Score, kSuspects), 1u);
    // rare frees less than old: passed over; so is one never measured while the mean is less too.
    usage.closed("old", 100, 150);
    usage.closed("rare", 100, 120);
    EXPECT_EQ(usage.named(Expert::Score, kSuspects), 0u);
    EXPECT_EQ(usage.named(Expert::Score, { "old", "rare", "none", "new1", "new2" }), 0u) << "the mean, 35 MB, is less than 50";
    usage.closed("spare", 100, 300);
    EXPECT_EQ(usage.named(Expert::Score, { "old", "rare", "none", "new1", "new2" }), 2u) << "the mean is now 90 MB";
}

} // namespace
