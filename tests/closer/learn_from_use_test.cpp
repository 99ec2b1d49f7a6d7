// Learn From Use in the library on the manual clock: only the order of low-memory closes changes,
// what was learned is written at most once a minute and read back, and a hostile file is ignored.
#include "closer/usage.h"
#include "contract/settings_contract.h"
#include "contract/usage_file.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/run_loop.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/device_root.h"
#include "tests/support/stored_switches.h"

#include <filesystem>
#include <limits>
#include <fstream>
#include <sys/stat.h>

namespace {

class LearnFromUseTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        // news is used often but left first; radio once, later; weather once, last.
        sv::fs::createDirectories(slv::path::DataFolder);
        play({ "app news \"News\" mem=20", "app radio \"Radio\" mem=20", "app maps \"Maps\" mem=20",
               "app weather \"Weather\" mem=20", "settings ramValue 100" });
    }

    void useNewsOftenThenRadioOnce()
    {
        for (int i = 0; i < 4; ++i)
            play({ "launch news", "state news 4", "launch maps", "state maps 4", "state news 2" });
        play({ "launch radio", "state radio 4", "launch maps", "state maps 4", "state radio 2" });
        play({ "launch weather", "state weather 4", "launch maps", "state maps 4", "state weather 2", "wait 2" });
        // Suspects now: news (the oldest), radio, weather; maps leaving makes four, the two newest kept.
        events.clear();
    }
    void lowMemoryLeaveOfMaps() { play({ "home", "free 50", "state maps 2", "wait 1.5" }); }
    // A phone whose score has proved itself: the weights as a file of an earlier start keeps them.
    static void trustTheScore()
    {
        namespace key = slv::usage::key;
        sv::Dictionary file { { std::string(key::Uses), sv::Value(std::int64_t(0)) },
                              { std::string(key::Applications), sv::Value(sv::Dictionary {}) },
                              { std::string(key::Weights),
                                sv::Value(sv::Dictionary { { std::string(key::RulesExpert), sv::Value(std::int64_t(1)) },
                                                           { std::string(key::ScoreExpert), sv::Value(std::int64_t(0)) } }) } };
        ASSERT_TRUE(sv::plist::writeFile(slv::usage::Path, sv::Value(file)));
        Usage::shared().load();
        ASSERT_TRUE(Usage::shared().trustsTheScore());
    }
    static std::string usagePath() { return sv::fs::resolve(slv::usage::Path); }
};

TEST_F(LearnFromUseTest, OnTheOftenUsedOlderSuspectIsKeptAndTheRarelyUsedNewerOneClosed)
{
    trustTheScore();
    play({ "settings learnFromUse on" });
    useNewsOftenThenRadioOnce();
    EXPECT_GT(Usage::shared().likelihood("news"), Usage::shared().likelihood("radio"));
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed radio" });
    // The chain goes on while memory stays low: of news, weather and maps only news is not one of
    // the two left last.
    play({ "wait 5" });
    EXPECT_EQ(closes(), (Lines { "closed radio", "closed news" }));
    // Then weather, left before maps, since another (maps) may still go; maps last of all.
    play({ "wait 5", "wait 5" });
    EXPECT_EQ(closes(), (Lines { "closed radio", "closed news", "closed weather", "closed maps" }));
}

TEST_F(LearnFromUseTest, TheApplicationJustLeftAndTheOneBeforeItAreKeptHoweverRarelyUsed)
{
    trustTheScore();
    // A, B, A: radio, used once, is left just before maps; news, used often, is the only other.
    play({ "settings learnFromUse on" });
    for (int i = 0; i < 4; ++i)
        play({ "launch news", "state news 4", "launch maps", "state maps 4", "state news 2" });
    play({ "launch radio", "state radio 4", "launch maps", "state maps 4", "state radio 2", "wait 2" });
    events.clear();
    lowMemoryLeaveOfMaps();
    EXPECT_EQ(closes(), Lines { "closed news" });
}

TEST_F(LearnFromUseTest, OfTwoAlikeTheOneThatTendsToFollowTheApplicationInFrontIsKept)
{
    trustTheScore();
    play({ "settings learnFromUse on", "app clock \"Clock\" mem=20" });
    // weather and radio, used twice each, weather earlier (so a little less); after maps comes weather.
    play({ "launch maps", "state maps 4", "launch weather", "state weather 4", "launch maps", "state maps 4",
           "launch weather", "state weather 4", "launch radio", "state radio 4", "launch clock", "state clock 4",
           "launch radio", "state radio 4", "launch maps", "state maps 4", "home", "state weather 2",
           "state radio 2", "state clock 2", "wait 2" });
    events.clear();
    EXPECT_LT(Usage::shared().likelihood("weather"), Usage::shared().likelihood("radio"));
    EXPECT_NEAR(Usage::shared().likelihood("weather"), Usage::shared().likelihood("radio"), 0.05);
    // Suspects: weather, radio, clock, maps; the pick is between weather and radio.
    play({ "free 50", "state maps 2", "wait 1.5" });
    EXPECT_EQ(closes(), Lines { "closed radio" });
}

TEST_F(LearnFromUseTest, AnApplicationKeepsFourSuccessorsWhoseCountsHalveAndAllIsReadBack)
{
    play({ "settings learnFromUse on", "app books \"Books\" mem=20", "app clock \"Clock\" mem=20" });
    // After maps: news 70 times (its count halves at 64), then radio, weather, books and clock once.
    for (int i = 0; i < 70; ++i)
        play({ "launch maps", "state maps 4", "launch news", "state news 4" });
    for (const char* next : { "radio", "weather", "books", "clock" })
        play({ "launch maps", "state maps 4", std::string("launch ") + next, std::string("state ") + next + " 4" });
    play({ "wait 61" });
    auto read = sv::test::runProcess(
        { "/usr/bin/env", "python3", "-c",
          "import plistlib,sys\n"
          "f=plistlib.load(open(sys.argv[1],'rb'))\n"
          "n=f['Applications']['maps']['Next']\n"
          "print(f['Front'], sorted(n.items()), all(type(v) is int for v in n.values()))\n",
          usagePath() },
        "");
    ASSERT_EQ(read.status, 0) << read.err;
    // news: 63, halved to 32 at the 64th, 38 after 70; clock, the fifth, takes the place of the
    // first by identifier of those at 1 (books).
    EXPECT_EQ(read.out, "clock [('clock', 1), ('news', 38), ('radio', 1), ('weather', 1)] True\n");
    auto learned = Usage::shared().ranked();
    Usage::shared().reset();
    Usage::shared().load();
    EXPECT_EQ(Usage::shared().ranked(), learned);
}

TEST_F(LearnFromUseTest, AFileWithoutSuccessorsAsEarlierLibrariesWroteItIsRead)
{
    sv::Dictionary earlier { { std::string(slv::usage::key::Uses), sv::Value(std::int64_t(12)) },
                             { std::string(slv::usage::key::Applications),
                               sv::Value(sv::Dictionary {
                                   { "news", sv::Value(sv::Dictionary { { "Score", sv::Value(9.0) }, { "At", sv::Value(std::int64_t(12)) } }) },
                                   { "radio", sv::Value(sv::Dictionary { { "Score", sv::Value(1.0) }, { "At", sv::Value(std::int64_t(3)) } }) } }) } };
    ASSERT_TRUE(sv::plist::writeFile(slv::usage::Path, sv::Value(earlier)));
    Usage::shared().load();
    EXPECT_NEAR(Usage::shared().likelihood("news"), 9.0, 1e-9);
    EXPECT_GT(Usage::shared().likelihood("radio"), 0.9);
    // Without weights, a new phone's: the rules' oldest until the score has proved itself.
    EXPECT_FALSE(Usage::shared().trustsTheScore());
    EXPECT_EQ(Usage::shared().pick({ "news", "radio", "maps", "weather" }), std::optional<std::size_t>(0));
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

// What the file holds as another program reads it: the count of uses, how many applications, the
// smallest and largest "At", whether every score is a positive figure, the most likely application.
std::string pythonReading(const std::string& path)
{
    auto python = sv::test::runProcess(
        { "/usr/bin/env", "python3", "-c",
          "import plistlib, sys, math\n"
          "u = plistlib.load(open(sys.argv[1], 'rb'))\n"
          "a = u['Applications']\n"
          "at = [r['At'] for r in a.values()]\n"
          "ok = all(isinstance(r['Score'], float) and math.isfinite(r['Score']) and r['Score'] > 0 for r in a.values())\n"
          "best = max(a, key=lambda k: (a[k]['Score'] * 2 ** (-(u['Uses'] - a[k]['At']) / 400), k))\n"
          "print(u['Uses'], len(a), min(at), max(at), ok, best)",
          path });
    EXPECT_EQ(python.status, 0) << python.err;
    return python.out;
}

// Far more applications than a phone holds, each used once: the file keeps the most likely (the
// most recently used) up to its bound, well inside what the library reads back at its next start.
TEST_F(LearnFromUseTest, AFileOfManyApplicationsKeepsTheMostLikelyAndReadsBack)
{
    play({ "settings learnFromUse on" });
    const std::string prefix = "com.example.installed.application";
    for (int i = 0; i < 1700; ++i)
        Usage::shared().noteForeground(prefix + std::to_string(i));
    auto learned = Usage::shared().ranked();
    play({ "wait 60" });
    ASSERT_TRUE(std::filesystem::exists(usagePath()));
    EXPECT_LE(std::filesystem::file_size(usagePath()), Usage::kMaximumFileSize / 2);
    EXPECT_EQ(pythonReading(usagePath()),
              "1700 " + std::to_string(Usage::kMostKept) + " " + std::to_string(1700 - Usage::kMostKept + 1)
                  + " 1700 True " + prefix + "1699\n");

    Usage::shared().reset();
    Usage::shared().load();
    learned.resize(Usage::kMostKept);
    EXPECT_EQ(Usage::shared().ranked(), learned) << "the most likely, read back at the next start";

    // Identifiers so long that even the bound's count would outgrow the file: fewer are kept.
    std::string longName(2000, 'x');
    for (int i = 0; i < 200; ++i)
        Usage::shared().noteForeground(longName + std::to_string(i));
    play({ "wait 60" });
    EXPECT_LE(std::filesystem::file_size(usagePath()), Usage::kMaximumFileSize / 2);
    Usage::shared().reset();
    Usage::shared().load();
    ASSERT_FALSE(Usage::shared().ranked().empty());
    EXPECT_EQ(Usage::shared().ranked().front().first, longName + "199");
}

// Successors make each record larger: the bound's count of applications with four each, with
// identifiers of ordinary length, still fits under half the read limit, all of them kept.
TEST_F(LearnFromUseTest, TheBoundsCountWithFourSuccessorsEachFitsAndReadsBack)
{
    play({ "settings learnFromUse on" });
    const std::string prefix = "com.example.installed.application";
    auto name = [&](std::size_t i) { return prefix + std::to_string(i % Usage::kMostKept); };
    for (std::size_t step = 1; step <= 4; ++step)
        for (std::size_t i = 0; i < Usage::kMostKept; ++i) {
            Usage::shared().noteForeground(name(i));
            Usage::shared().noteForeground(name(i + step * 7));
        }
    play({ "wait 60" });
    ASSERT_TRUE(std::filesystem::exists(usagePath()));
    auto size = std::filesystem::file_size(usagePath());
    EXPECT_LE(size, Usage::kMaximumFileSize / 2);
    auto read = sv::test::runProcess({ "/usr/bin/env", "python3", "-c",
                                       "import plistlib,sys\n"
                                       "a=plistlib.load(open(sys.argv[1],'rb'))['Applications']\n"
                                       "print(len(a), min(len(r.get('Next', {})) for r in a.values()))\n",
                                       usagePath() },
                                     "");
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, std::to_string(Usage::kMostKept) + " 4\n") << size << " bytes";
}

// A hand-made file at the end of the counts' range: every count stays there instead of wrapping.
TEST_F(LearnFromUseTest, CountsAtTheEndOfTheirRangeSaturate)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    sv::Dictionary file { { std::string(slv::usage::key::Uses), sv::Value(kMax) },
                          { std::string(slv::usage::key::Applications),
                            sv::Value(sv::Dictionary {
                                { "news", sv::Value(sv::Dictionary { { "Score", sv::Value(1.7e308) }, { "At", sv::Value(kMax) } }) },
                                { "maps", sv::Value(sv::Dictionary { { "Score", sv::Value(1.0) }, { "At", sv::Value(kMax - 1) } }) } }) } };
    ASSERT_TRUE(sv::plist::writeFile(slv::usage::Path, sv::Value(file)));
    Usage::shared().load();
    ASSERT_EQ(Usage::shared().ranked().size(), 2u);
    play({ "settings learnFromUse on", "launch news", "state news 4", "launch maps", "state maps 4", "launch radio",
           "state radio 4", "launch news", "state news 4", "wait 60" });
    EXPECT_EQ(pythonReading(usagePath()), "9223372036854775807 3 9223372036854775807 9223372036854775807 True news\n");
    Usage::shared().reset();
    Usage::shared().load();
    ASSERT_EQ(Usage::shared().ranked().size(), 3u) << "what was written reads back";
    EXPECT_EQ(Usage::shared().ranked().front().first, "news");
}

TEST_F(LearnFromUseTest, AReturnSoonAfterOurCloseCountsExtra)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "launch radio", "state radio 4",
           "launch maps", "state maps 4", "home", "free 50", "state news 2", "wait 1.5" });
    ASSERT_EQ(closes(), Lines { "closed news" });
    play({ "launch news", "state news 4", "launch radio", "state radio 4" });
    // Each came to the front twice; news's second was a return 0.0 s after our close.
    EXPECT_GT(Usage::shared().likelihood("news"), Usage::shared().likelihood("radio") + 0.9);
}

TEST_F(LearnFromUseTest, AReturnMadeWhileOffIsNoReturnForTheUsesAfterTheSwitchComesOn)
{
    play({ "launch news", "launch radio", "home", "free 50", "state news 2", "wait 1.5" });
    ASSERT_EQ(closes(), Lines { "closed news" });
    // news came back 0.5 s after our close, unlearned; its next coming to the front is a plain use.
    play({ "launch news", "state news 4", "settings learnFromUse on", "home", "state news 4", "launch radio",
           "state radio 4" });
    EXPECT_NEAR(Usage::shared().likelihood("news"), Usage::shared().likelihood("radio"), 0.01);
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
    EXPECT_EQ(closes(), Lines { "closed news" }) << "the rules' pick, on a new phone's weights";
}

} // namespace
