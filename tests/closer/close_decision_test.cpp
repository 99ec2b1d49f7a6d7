#include "contract/settings_contract.h"
#include "contract/threshold.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/stored_switches.h"

#include <algorithm>

namespace {

class CloseDecisionTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        play({ "app a \"A\" mem=20", "app b \"B\" mem=20", "app c \"C\" mem=20", "launch a", "launch b", "launch c",
               "launch top" });
        events.clear();
    }

    static void writeSettings(const sv::Dictionary& settings)
    {
        ASSERT_TRUE(sv::plist::writeFile(slv::settingsPath(), settings));
    }
    static sv::Value entries(std::initializer_list<const char*> ids)
    {
        sv::Array list;
        for (const char* id : ids)
            list.push_back(slv::identifierEntry(id));
        return list;
    }
};

} // namespace

TEST_F(CloseDecisionTest, ClosesAtOrBelowTheThresholdOneSecondLater)
{
    play({ "free 176", "state a 2" }); // no settings file: 175
    advance(2);
    EXPECT_TRUE(closes().empty());
    EXPECT_EQ(suspects(), Lines { "a" });

    play({ "free 175", "state a 2" });
    advance(0.999);
    EXPECT_TRUE(closes().empty());
    advance(0.001);
    EXPECT_EQ(timeline().back(), "[3.000] closed a");
    EXPECT_TRUE(suspects().empty());
}

TEST_F(CloseDecisionTest, AReturnBeforeTheSecondCallsTheCloseOff)
{
    play({ "free 100", "state a 2", "wait 0.5", "state a 4", "wait 2" });
    EXPECT_TRUE(closes().empty());
    EXPECT_TRUE(suspects().empty());
}

TEST_F(CloseDecisionTest, TheChainClosesTheOldestSuspectsWhileMemoryStaysLow)
{
    play({ "free 300", "state a 2", "state b 2", "free 100", "state c 2" });
    EXPECT_EQ(suspects(), (Lines { "b", "c" }));
    advance(60);
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed c" }));
    Lines lines = timeline();
    for (const char* expected : { "[1.000] closed a", "[5.600] closed b", "[10.200] closed c" })
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    // The list is empty: the last re-check ends the chain.
    EXPECT_EQ(lines.back(), "[13.800] posted norv.swr.kill.test");
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST_F(CloseDecisionTest, TheChainStopsOnceClosingFreedEnough)
{
    // 84 MB free less 20 MB for each of a, b, c: 24 MB. Closing a brings it to 44.
    writeSettings({ { "ramValue", 40 } });
    play({ "memory total=1024 base=940", "free 300", "state a 2", "state b 2", "free auto", "state c 2" });
    advance(60);
    EXPECT_EQ(closes(), Lines { "closed a" });
    EXPECT_EQ(suspects(), (Lines { "b", "c" }));
}

TEST_F(CloseDecisionTest, TheNeverListWinsOverTheAlwaysList)
{
    writeSettings({ { "NeverIdentifiers", entries({ "a" }) }, { "AlwaysIdentifiers", entries({ "a", "b" }) } });
    play({ "free 1000", "state a 2", "state b 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed b" }); // always: memory is not consulted
    EXPECT_TRUE(suspects().empty());           // a left the list on the never path
}

TEST_F(CloseDecisionTest, AlwaysKillClosesEveryoneButTheExempt)
{
    writeSettings({ { "alwaysKill", true }, { "NeverIdentifiers", entries({ "b" }) } });
    play({ "app com.apple.mobilephone \"Phone\"", "launch com.apple.mobilephone", "launch top", "free 1000",
           "state a 2", "state b 2", "state com.apple.mobilephone 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" });
}

TEST_F(CloseDecisionTest, NothingClosesDuringACallAndWhatItHeldBackIsDecidedAtItsEnd)
{
    writeSettings({ { "AlwaysIdentifiers", entries({ "b" }) } });
    for (const char* call : { "call active", "call incoming", "call outgoing" }) {
        events.clear();
        play({ "launch a", "launch b", "launch top", call, "free 0", "state a 2", "state b 2", "wait 2" });
        EXPECT_TRUE(closes().empty()) << call;
        EXPECT_EQ(suspects(), (Lines { "a", "b" })) << call;
        // Ringing, then answered: still a call.
        play({ "call active", "wait 30" });
        EXPECT_TRUE(closes().empty()) << call;
        // At its end the decisions are made in the order the applications left: for a, memory is
        // low and a is the oldest suspect; b is always-listed.
        play({ "call none" });
        advance(1);
        EXPECT_EQ(closes(), (Lines { "closed a", "closed b" })) << call;
        play({ "free auto" });
        advance(10);
    }
}

TEST_F(CloseDecisionTest, TheThreeFixedIdentifiersAreNeverClosedAndStaySuspects)
{
    writeSettings({ { "alwaysKill", true } });
    for (const char* id : { "com.apple.springboard", "com.apple.mobilephone", "com.apple.AdSheetPhone" })
        play({ ("launch " + std::string(id)).c_str(), "launch top", ("state " + std::string(id) + " 2").c_str() });
    advance(2);
    EXPECT_TRUE(closes().empty());
    EXPECT_EQ(suspects().size(), 3u);
}

TEST_F(CloseDecisionTest, StateThreeAsksTheBackgroundQuestionsInTurn)
{
    struct Case {
        const char* flags;
        bool closed;
    };
    const Case cases[] = {
        { "no-tasks", true },        { "no-process", true },     { "", false },
        { "audio", true },           { "audio location", false }, { "audio voip", false },
        { "audio playing", false },  { "audio recording", false }, { "audio sockets", false },
        { "audio watchdog", false }, { "no-tasks location", true },
    };
    play({ "free 0" });
    for (const Case& c : cases) {
        events.clear();
        play({ ("app x \"X\" " + std::string(c.flags)).c_str(), "launch x", "launch top", "state x 3", "wait 2" });
        EXPECT_EQ(closes(), c.closed ? Lines { "closed x" } : Lines {}) << c.flags;
        EXPECT_TRUE(suspects().empty()) << c.flags; // closed, or spared and taken out
    }
}

TEST_F(CloseDecisionTest, StateThreeWithoutTaskSupportTakesTheOldestSuspectInstead)
{
    play({ "app x \"X\" no-tasks", "launch x", "launch top", "free 300", "state a 2", "state b 2", "free 0",
           "state x 3", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" });
    EXPECT_EQ(suspects(), Lines { "b" });
}

TEST_F(CloseDecisionTest, AFileWithoutRamValueOrThatCannotBeReadMeansTheDefaultThePaneShows)
{
    writeSettings({ { "alwaysKill", false } });
    play({ "free 176", "state a 2", "wait 2" });
    EXPECT_TRUE(closes().empty());
    play({ "free 175", "state a 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" });

    sv::test::writeHostFile(root().host(slv::settingsPath()), "not a property list");
    play({ "launch a", "launch top", "free 176", "state a 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" });
    play({ "free 175", "state a 2", "wait 2" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed a" }));
    EXPECT_EQ(sv::test::readHostFile(root().host(slv::settingsPath())), "not a property list");
}

TEST_F(CloseDecisionTest, TheThresholdIsReadAsThePaneReadsIt)
{
    struct Case {
        sv::Value stored;
        int threshold;
    };
    // Outside the slider's range: its nearest end; between its steps: as stored.
    for (const Case& c : { Case { sv::Value("250"), 250 }, Case { sv::Value(" +90 MB"), 90 }, Case { sv::Value(120.9), 120 },
                           Case { sv::Value("lots"), 175 }, Case { sv::Value(true), 175 }, Case { sv::Value(sv::Array {}), 175 },
                           Case { sv::Value(-50), 30 }, Case { sv::Value(0), 30 }, Case { sv::Value(29.9), 30 },
                           Case { sv::Value(std::int64_t { 99999999999 }), 300 }, Case { sv::Value(301), 300 },
                           Case { sv::Value("-50"), 30 }, Case { sv::Value(1e300), 300 }, Case { sv::Value(173), 173 } }) {
        writeSettings({ { "ramValue", c.stored } });
        EXPECT_EQ(slv::threshold(slv::settingsSnapshot().get()), c.threshold);
        events.clear();
        play({ "launch a", "launch top", ("free " + std::to_string(c.threshold + 1)).c_str(), "state a 2", "wait 2" });
        EXPECT_TRUE(closes().empty()) << c.threshold;
        play({ ("free " + std::to_string(c.threshold)).c_str(), "state a 2", "wait 2" });
        EXPECT_EQ(closes(), Lines { "closed a" }) << c.threshold;
    }
    writeSettings({ { "ramValue", std::int64_t { 1 } << 40 } });
    EXPECT_EQ(slv::threshold(slv::settingsSnapshot().get()), 300);
}

// Close Every App reads as the pane's switch shows it, whatever kind of value holds it.
TEST_F(CloseDecisionTest, CloseEveryAppIsReadAsThePaneShowsIt)
{
    for (const sv::test::StoredSwitch& c : sv::test::storedSwitches()) {
        sv::Dictionary settings { { "ramValue", 100 } };
        if (c.stored)
            settings["alwaysKill"] = *c.stored;
        writeSettings(settings);
        EXPECT_EQ(slv::closeEveryApp(slv::settingsSnapshot().get()), c.on) << c.what;
        events.clear();
        play({ "launch a", "launch top", "free 300", "state a 2", "wait 2" });
        EXPECT_EQ(closes(), c.on ? Lines { "closed a" } : Lines {}) << c.what;
    }
}

TEST_F(CloseDecisionTest, ValuesOfTheWrongTypeReadAsAbsent)
{
    sv::Array always { sv::Value("a"), sv::Value(sv::Dictionary { { "BundleID", 5 } }) };
    writeSettings({ { "NeverIdentifiers", "a" }, { "AlwaysIdentifiers", always }, { "ramValue", "ten" },
                    { "alwaysKill", "yes" } });
    play({ "free 176", "state a 2", "wait 2" });
    EXPECT_TRUE(closes().empty()); // threshold 175; not always-listed; no alwaysKill
    play({ "free 175", "state a 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" }); // the never "list" is no list
}

TEST_F(CloseDecisionTest, AnOldestSuspectWithoutIdentifierIsPassedOverAndDropped)
{
    int notices = 0;
    sv::NotificationCenter::defaultCenter().addObserver(this, std::string(slv::local::TimerTester),
                                                        [&notices](const sv::Notification&) { ++notices; });
    play({ "app n \"Nameless\" no-id", "launch n", "launch top", "free 300", "state n 2", "state a 2", "free 0",
           "state b 2", "wait 1" });
    sv::NotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_EQ(notices, 1); // a's, none for the nameless one
    EXPECT_EQ(closes(), Lines { "closed a" });
    EXPECT_EQ(suspects(), Lines { "b" });
    // The chain goes on while memory stays low.
    play({ "wait 5" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b" }));
}

TEST_F(CloseDecisionTest, TheHomeScreenHandlerRunsOnceOnEveryPath)
{
    writeSettings({ { "NeverIdentifiers", entries({ "b" }) }, { "ramValue", 100 } });
    play({ "free 0", "state a 0", "state a 1", "state a 5", "state a -1", "state b 2", "state c 3", "state a 4",
           "call active", "state c 2", "call none", "state a 2", "state com.apple.springboard 2" });
    EXPECT_EQ(eventsStartingWith("state "),
              (Lines { "state a 0", "state a 1", "state a 5", "state a -1", "state b 2", "state c 3", "state a 4",
                       "state c 2", "state a 2", "state com.apple.springboard 2" }));
}

TEST_F(CloseDecisionTest, OtherStatesOnlyRecordTheSuspect)
{
    play({ "free 0", "state a 1", "state b 7", "state a 0", "wait 2" });
    EXPECT_TRUE(closes().empty());
    EXPECT_EQ(suspects(), (Lines { "a", "b" }));
}

TEST_F(CloseDecisionTest, TheChainPassesOverFixedAndNeverListedSuspectsAndClosesTheOthersOldestFirst)
{
    writeSettings({ { "NeverIdentifiers", entries({ "b" }) }, { "ramValue", 175 } });
    play({ "app com.apple.mobilephone \"Phone\"", "app com.apple.AdSheetPhone \"AdSheet\"", "app d \"D\"",
           "launch com.apple.mobilephone", "launch com.apple.AdSheetPhone", "launch d", "launch top", "free 300",
           "state com.apple.mobilephone 2", "call active", "state b 2", "call none", "state com.apple.AdSheetPhone 2",
           "state a 2", "state c 2", "free 100", "state d 2" });
    // b, recorded during the call, left the list when passed over; the fixed two stay.
    EXPECT_EQ(suspects(), (Lines { "com.apple.mobilephone", "com.apple.AdSheetPhone", "c", "d" }));
    advance(60);
    EXPECT_EQ(closes(), (Lines { "closed a", "closed c", "closed d" }));
    Lines lines = timeline();
    for (const char* expected : { "[1.000] closed a", "[5.600] closed c", "[10.200] closed d" })
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    EXPECT_EQ(lines.back(), "[13.800] posted norv.swr.kill.test"); // nothing closable: the chain ends
    EXPECT_EQ(suspects(), (Lines { "com.apple.mobilephone", "com.apple.AdSheetPhone" }));
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);

    // The decision's own oldest-suspect branch passes over them the same way.
    play({ "launch c", "launch top", "state b 1", "state c 2" });
    EXPECT_EQ(suspects(), (Lines { "com.apple.mobilephone", "com.apple.AdSheetPhone" }));
    advance(10);
    EXPECT_EQ(closes(), (Lines { "closed a", "closed c", "closed d", "closed c" }));
}

TEST_F(CloseDecisionTest, HeldDecisionsFollowTheLastLeaveAndAReturnDropsThem)
{
    writeSettings({ { "AlwaysIdentifiers", entries({ "a", "b", "c" }) } });
    play({ "call active", "state a 2", "state b 2", "state c 2", "state a 2", "state a 1", "launch b", "state b 4",
           "launch top", "wait 5", "call none", "wait 2" });
    EXPECT_EQ(closes(), (Lines { "closed c", "closed a" }));
}

TEST_F(CloseDecisionTest, ACallHoldsTheChainAndItsDueCloseUntilItEnds)
{
    for (const char* call : { "call active", "call incoming", "call outgoing" }) {
        events.clear();
        play({ "launch a", "launch b", "launch c", "launch top", "free 300", "state a 2", "state b 2", "free 100",
               "state c 2", "wait 2", call, "wait 20" });
        // a went before the call; the re-check during it closed nothing and is held.
        EXPECT_EQ(closes(), Lines { "closed a" }) << call;
        EXPECT_EQ(suspects(), (Lines { "b", "c" })) << call;
        play({ "call none" });
        advance(1);
        EXPECT_EQ(closes(), (Lines { "closed a", "closed b" })) << call;
        advance(4.6);
        EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed c" })) << call;
        EXPECT_TRUE(suspects().empty()) << call;
        advance(10);
    }

    // A close due during the call is decided again at its end: memory is still low, so the oldest
    // suspect (a again) goes one second later, and the chain goes on from there.
    events.clear();
    play({ "launch a", "launch b", "launch top", "free 300", "state a 2", "free 100", "state b 2", "wait 0.5",
           "call incoming", "wait 10", "call none" });
    EXPECT_TRUE(closes().empty());
    advance(1);
    EXPECT_EQ(closes(), Lines { "closed a" });
    advance(4.6);
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b" }));
}

TEST_F(CloseDecisionTest, OneChainAtATime)
{
    // A chain waits for its re-check while a state change closes the oldest suspect: the next
    // re-check comes 3.6 s after the latest close, and only it closes one more.
    play({ "app d \"D\" mem=20", "app e \"E\" mem=20", "launch d", "launch e", "launch top", "free 300",
           "state a 2", "state b 2", "state c 2", "state d 2", "free 100", "state e 2", "wait 2", "state top 2",
           "wait 1.2" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b" }));
    play({ "free 175", "wait 5" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed c" }));
    play({ "free 200", "wait 30" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed c" }));
    EXPECT_EQ(eventsStartingWith("posted norv.swr.kill.test").size(), 2u);
}

TEST_F(CloseDecisionTest, AReCheckThatFindsACloseOfTheChainPendingLeavesTheChainToIt)
{
    play({ "free 300", "state a 2", "state b 2", "free 100", "state c 2", "post norv.swr.kill.test", "wait 1" });
    EXPECT_EQ(closes(), Lines { "closed a" });
    EXPECT_EQ(suspects(), (Lines { "b", "c" }));
}

TEST_F(CloseDecisionTest, FreeMemoryComparesInMebibytesAtEverySize)
{
    // No settings file: the threshold is 175.
    for (const char* free : { "free 2048", "free 8192", "free 176" }) {
        play({ free, "state a 2", "wait 2" });
        EXPECT_TRUE(closes().empty()) << free;
    }
    play({ "free auto", "memory total=4096 base=452", "state a 2", "wait 2" }); // 3.5 GiB from the model
    EXPECT_TRUE(closes().empty());
    EXPECT_EQ(sb::Device::shared().freeMB(), 3584);
    play({ "free 0.5", "state a 2", "wait 2" });
    EXPECT_EQ(closes(), Lines { "closed a" });

    // The re-check reads the same figure.
    play({ "launch a", "launch top", "state a 1", "free 2048" });
    notify_post(slv::darwin::KillTest);
    advance(2);
    EXPECT_EQ(closes(), Lines { "closed a" });
    play({ "free 0.5" });
    notify_post(slv::darwin::KillTest);
    advance(2);
    EXPECT_EQ(closes(), (Lines { "closed a", "closed a" }));
}
