// Learn From Use's experts in the library on the manual clock: a new phone closes as the rules do
// until one of those closes comes back, and the weights and footprints outlive a restart.
#include "closer/usage.h"
#include "contract/usage_file.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/device_root.h"

#include <string>

namespace {

class LearnFromUseExpertsTest : public sv::test::CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        sv::fs::createDirectories(slv::path::DataFolder);
        play({ "app news \"News\" mem=20", "app radio \"Radio\" mem=20", "app maps \"Maps\" mem=20",
               "app weather \"Weather\" mem=20", "settings ramValue 100", "settings learnFromUse on" });
    }

    // news used often, radio and weather once each; then maps leaves with memory low, and one
    // close is made: the rules name news (the oldest), the score radio. news comes back at once,
    // and the next round starts when what was named has been out of the window.
    std::string oneRound()
    {
        play({ "free 500" });
        for (int i = 0; i < 4; ++i)
            play({ "launch news", "state news 4", "launch maps", "state maps 4", "state news 2" });
        play({ "launch radio", "state radio 4", "launch maps", "state maps 4", "state radio 2" });
        play({ "launch weather", "state weather 4", "launch maps", "state maps 4", "state weather 2", "wait 2" });
        events.clear();
        play({ "home", "free 50", "state maps 2", "wait 1.5", "free 500", "wait 5" });
        play({ "launch news", "state news 4", "wait 700" });
        return closes().empty() ? "" : closes().front();
    }
};

TEST_F(LearnFromUseExpertsTest, ANewPhoneClosesTheOldestUntilOneOfThoseClosesComesBack)
{
    EXPECT_FALSE(Usage::shared().trustsTheScore());
    EXPECT_EQ(oneRound(), "closed news");
    EXPECT_TRUE(Usage::shared().trustsTheScore());
    EXPECT_EQ(Usage::shared().rulesHalvings(), 1);
    EXPECT_EQ(oneRound(), "closed radio");
    // radio came back neither time it was named, news, the rules' name, each time: the score keeps
    // the lead and the rules fall further behind.
    EXPECT_EQ(oneRound(), "closed radio");
    EXPECT_EQ(Usage::shared().rulesHalvings(), 3);
}

TEST_F(LearnFromUseExpertsTest, WhatAClosesFreesAndTheWeightsAreKeptInTheFileAndReadBack)
{
    // Free memory follows the running applications: radio's close frees its 20 MB.
    play({ "memory total=1024 base=700", "settings ramValue 300", "launch radio", "state radio 4", "launch maps",
           "state maps 4", "state radio 2", "home", "state maps 2", "wait 1.5" });
    ASSERT_FALSE(closes().empty());
    ASSERT_EQ(closes().front(), "closed radio");
    EXPECT_EQ(Usage::shared().footprint("radio"), 20);
    play({ "wait 60" });
    auto read = sv::test::runProcess({ "/usr/bin/env", "python3", "-c",
                                       "import plistlib,sys\n"
                                       "f=plistlib.load(open(sys.argv[1],'rb'))\n"
                                       "print(f['Applications']['radio']['Footprint'], sorted(f['Weights'].items()))\n",
                                       sv::fs::resolve(slv::usage::Path) },
                                     "");
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "20 [('Rules', 0), ('Score', 0)]\n");
    Usage::shared().reset();
    Usage::shared().load();
    EXPECT_EQ(Usage::shared().footprint("radio"), 20);
    EXPECT_EQ(Usage::shared().scoreHalvings(), Usage::kHeadStart);

    // Weights no library writes read as a new phone's; bounds are kept on any others.
    namespace key = slv::usage::key;
    auto withWeights = [](sv::Value rules, sv::Value score) {
        sv::Dictionary file { { std::string(key::Uses), sv::Value(std::int64_t(1)) },
                              { std::string(key::Applications), sv::Value(sv::Dictionary {}) },
                              { std::string(key::Weights), sv::Value(sv::Dictionary { { std::string(key::RulesExpert), rules },
                                                                                      { std::string(key::ScoreExpert), score } }) } };
        EXPECT_TRUE(sv::plist::writeFile(slv::usage::Path, sv::Value(file)));
        Usage::shared().load();
        return std::pair(Usage::shared().rulesHalvings(), Usage::shared().scoreHalvings());
    };
    using Halvings = std::pair<std::int64_t, std::int64_t>;
    EXPECT_EQ(withWeights(sv::Value(std::int64_t(-1)), sv::Value(std::int64_t(0))), Halvings(0, Usage::kHeadStart));
    EXPECT_EQ(withWeights(sv::Value("much"), sv::Value(std::int64_t(0))), Halvings(0, Usage::kHeadStart));
    EXPECT_EQ(withWeights(sv::Value(std::int64_t(90)), sv::Value(std::int64_t(2))), Halvings(Usage::kMostHalvings, 0));
}

} // namespace
