// Learn From Use in the library on the manual clock: only the order of low-memory closes changes,
// what was learned is written at most once a minute and read back, and a hostile file is ignored.
#include "closer/usage.h"
#include "contract/settings_contract.h"
#include "contract/usage.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/run_loop.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/stored_switches.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using sv::test::CloserTest;
using Lines = std::vector<std::string>;

namespace {

class LearnFromUseTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        // news is used often but left first; radio once, later.
        sv::fs::createDirectories(slv::path::DataFolder);
        play({ "app news \"News\" mem=20", "app radio \"Radio\" mem=20", "app maps \"Maps\" mem=20",
               "settings ramValue 100" });
    }

    void useNewsOftenThenRadioOnce()
    {
        for (int i = 0; i < 4; ++i)
            play({ "launch news", "state news 4", "launch maps", "state maps 4", "state news 2" });
        play({ "launch radio", "state radio 4", "launch maps", "state maps 4", "state radio 2", "wait 2" });
        // Suspects now: news (the oldest), radio.
        events.clear();
    }
    void lowMemoryLeaveOfMaps() { play({ "home", "free 50", "state maps 2", "wait 1.5" }); }
    Lines closes() const { return eventsStartingWith("closed "); }
    static std::string usagePath() { return sv::fs::resolve(slv::usage::Path); }
};

TEST_F(LearnFromUseTest, OnTheOftenUsedOlderSuspectIsKeptAndTheRarelyUsedNewerOneClosed)
{
    play({ "settings learnFromUse on" });
    useNewsOftenThenRadioOnce();
    EXPECT_GT(Usage::shared().likelihood("news"), Usage::shared().likelihood("radio"));
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed radio" });
    // The chain goes on in the same order while memory stays low: maps (used 5 times) before news.
    play({ "wait 5" });
    EXPECT_EQ(closes(), (Lines { "closed radio", "closed news" }));
}

TEST_F(LearnFromUseTest, OffTheOldestGoesAndNothingIsLearned)
{
    play({ "settings learnFromUse off" });
    useNewsOftenThenRadioOnce();
    EXPECT_TRUE(Usage::shared().ranked().empty());
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed news" });
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 1u) << "only the chain's wait";
}

// The switch reads as the pane shows it, whatever kind of value holds it.
TEST_F(LearnFromUseTest, TheSwitchIsReadAsThePaneShowsIt)
{
    for (const sv::test::StoredSwitch& c : sv::test::storedSwitches()) {
        Usage::shared().reset();
        slv::updateSettings([&](sv::Dictionary& settings) {
            settings.erase(std::string(slv::key::LearnFromUse));
            if (c.stored)
                settings[std::string(slv::key::LearnFromUse)] = *c.stored;
            return true;
        });
        EXPECT_EQ(slv::learnFromUse(slv::settingsSnapshot().get()), c.on) << c.what;
        play({ "launch news", "state news 4" });
        EXPECT_EQ(Usage::shared().ranked().empty(), !c.on) << c.what << ": a use learned only while on";
    }
}

TEST_F(LearnFromUseTest, TheAlwaysListAndCloseEveryAppStillCloseTheOneThatLeaves)
{
    play({ "settings learnFromUse on" });
    useNewsOftenThenRadioOnce();
    play({ "settings always news", "launch news", "state news 4", "launch maps", "state maps 4", "state news 2",
           "wait 1.5" });
    EXPECT_EQ(closes(), Lines { "closed news" });
    play({ "settings always", "settings alwaysKill on", "launch news", "state news 4", "home", "state news 2",
           "wait 1.5" });
    EXPECT_EQ(closes(), (Lines { "closed news", "closed news" }));
}

TEST_F(LearnFromUseTest, NeverListedAndFixedSuspectsAreNotTakenHoweverRarelyUsed)
{
    play({ "settings learnFromUse on", "app com.apple.mobilephone \"Phone\" mem=20" });
    useNewsOftenThenRadioOnce();
    play({ "settings never radio", "launch com.apple.mobilephone", "state com.apple.mobilephone 4", "launch maps",
           "state maps 4", "state com.apple.mobilephone 2" });
    events.clear();
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed news" });
}

TEST_F(LearnFromUseTest, WhatWasLearnedIsWrittenAMinuteAfterAChangeAndReadBack)
{
    play({ "settings learnFromUse on", "launch news", "state news 4" });
    play({ "wait 59" });
    EXPECT_FALSE(std::filesystem::exists(usagePath()));
    play({ "wait 1" });
    ASSERT_TRUE(std::filesystem::exists(usagePath()));
    // Nothing changed since: no timer wakes the home screen.
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
    // Two more uses within the minute make one write.
    play({ "launch radio", "state radio 4", "launch news", "state news 4", "wait 30" });
    auto before = std::filesystem::last_write_time(usagePath());
    play({ "wait 31" });
    EXPECT_NE(std::filesystem::last_write_time(usagePath()), before);
    auto learned = Usage::shared().ranked();
    Usage::shared().reset();
    Usage::shared().load();
    EXPECT_EQ(Usage::shared().ranked(), learned);
    ASSERT_EQ(learned.size(), 2u);
    EXPECT_EQ(learned[0].first, "news");
}

TEST_F(LearnFromUseTest, AReturnSoonAfterOurCloseCountsExtra)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "launch radio", "state radio 4",
           "launch maps", "state maps 4", "home", "state radio 2", "free 50", "state news 2", "wait 1.5" });
    ASSERT_EQ(closes(), Lines { "closed news" });
    play({ "launch news", "state news 4", "launch radio", "state radio 4" });
    // Each came to the front twice; news's second was a return 0.0 s after our close.
    EXPECT_GT(Usage::shared().likelihood("news"), Usage::shared().likelihood("radio") + 0.9);
}

TEST_F(LearnFromUseTest, AHostileFileStartsEmptyAndNeverStopsAClose)
{
    std::string path = usagePath();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto plant = [&](int kind) {
        std::filesystem::remove(path);
        if (kind == 0) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        } else if (kind == 1) {
            std::ofstream(path + ".real") << "x";
            std::filesystem::create_symlink(path + ".real", path);
        } else if (kind == 2) {
            std::ofstream(path) << "<plist><dict><key>Uses</key><string>many</string>";
        } else if (kind == 3) {
            std::ofstream out(path);
            std::string block(1 << 20, 'z');
            for (int i = 0; i < 40; ++i)
                out << block;
        } else {
            sv::Dictionary bad { { std::string(slv::usage::key::Uses), sv::Value(3) },
                                 { std::string(slv::usage::key::Applications),
                                   sv::Value(sv::Dictionary {
                                       { "news", sv::Value(sv::Dictionary { { "Score", sv::Value(-4.0) }, { "At", sv::Value(1) } }) },
                                       { "maps", sv::Value(sv::Dictionary { { "Score", sv::Value(2.0) }, { "At", sv::Value(99) } }) },
                                       { "radio", sv::Value("often") } }) } };
            ASSERT_TRUE(sv::plist::writeFile(slv::usage::Path, sv::Value(bad)));
        }
    };
    for (int kind = 0; kind < 5; ++kind) {
        plant(kind);
        Usage::shared().load(); // a FIFO must not block here
        EXPECT_TRUE(Usage::shared().ranked().empty()) << kind;
    }
    play({ "settings learnFromUse on" });
    useNewsOftenThenRadioOnce();
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed radio" });
}

} // namespace
