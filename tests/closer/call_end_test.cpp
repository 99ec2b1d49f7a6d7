// What a phone call held back is decided at its end as one and afresh: with the settings file and
// the free memory of that moment, one low-memory close for all the leaves, then the chain.
#include "closer/close_history.h"
#include "tests/closer/closer_fixture.h"

#include <algorithm>
#include <string>

namespace {

struct Leaves {
    int applications;
    int megabytes;
    const char* memory;
    bool duringACall;
    bool learnFromUse;
};

class CallEndTest : public CloserTest {
protected:
    Lines timedCloses() const
    {
        Lines found;
        for (const std::string& line : timeline())
            if (line.find("] closed ") != std::string::npos)
                found.push_back(line);
        return found;
    }

    // The applications run, the home screen comes up, and each leaves 2 s after the one before.
    void leaveOneByOne(const Leaves& leaves)
    {
        play({ leaves.memory, leaves.learnFromUse ? "settings learnFromUse on" : "settings learnFromUse off" });
        for (int i = 0; i < leaves.applications; ++i) {
            std::string id = "app" + std::to_string(i);
            std::string description = "app " + id + " \"" + id + "\" mem=" + std::to_string(leaves.megabytes);
            std::string launch = "launch " + id;
            play({ description, launch });
        }
        play({ "home" });
        if (leaves.duringACall)
            play({ "call active" });
        for (int i = 0; i < leaves.applications; ++i) {
            std::string leave = "state app" + std::to_string(i) + " 2";
            play({ leave, "wait 2" });
        }
        if (leaves.duringACall)
            play({ "call none" });
        play({ "wait 120" });
    }

    // "<identifier> <reason> [<free memory>]" of each record, oldest first.
    static Lines recorded()
    {
        CloseHistory::shared().flush();
        Lines entries;
        for (const auto& record : slv::history::read())
            entries.push_back(record.bundleID + " " + record.reason
                              + (record.freeMemory ? " " + std::to_string(*record.freeMemory) : ""));
        return entries;
    }
};

Lines firstApplications(int count)
{
    Lines names;
    for (int i = 0; i < count; ++i)
        names.push_back("closed app" + std::to_string(i));
    return names;
}

class CallEndLeaves : public CallEndTest, public ::testing::WithParamInterface<bool> { };

// Ten applications of 50 MB leave 12 MB free: four closes bring it above 175 MB, the same four
// whether the leaves came during a call or not, and whether Learn From Use is on or off.
TEST_P(CallEndLeaves, TenLeavesDuringACallCloseOnlyWhatMemoryNeeds)
{
    leaveOneByOne({ 10, 50, "memory total=1024 base=512", true, GetParam() });
    EXPECT_EQ(timedCloses(), (Lines { "[21.000] closed app0", "[25.600] closed app1", "[30.200] closed app2",
                                      "[34.800] closed app3" }));
    // Each close of the chain records the figure measured just before it.
    EXPECT_EQ(recorded(), (Lines { "app0 Low memory 12", "app1 Low memory 62", "app2 Low memory 112",
                                   "app3 Low memory 162" }));
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST_P(CallEndLeaves, TenLeavesWithoutACallCloseTheSameFour)
{
    leaveOneByOne({ 10, 50, "memory total=1024 base=512", false, GetParam() });
    EXPECT_EQ(closes(), firstApplications(4));
}

// Thirty of 20 MB leave 20 MB free: eight closes are enough, call or not.
TEST_P(CallEndLeaves, ThirtyLeavesDuringACallCloseOnlyWhatMemoryNeeds)
{
    leaveOneByOne({ 30, 20, "memory total=1024 base=404", true, GetParam() });
    EXPECT_EQ(closes(), firstApplications(8));
}

TEST_P(CallEndLeaves, ThirtyLeavesWithoutACallCloseTheSameEight)
{
    leaveOneByOne({ 30, 20, "memory total=1024 base=404", false, GetParam() });
    EXPECT_EQ(closes(), firstApplications(8));
}

INSTANTIATE_TEST_SUITE_P(LearnFromUse, CallEndLeaves, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

// Y left with 112 MB free; its close fell due while the phone rang. During the call Y went on
// the Never list, or the threshold went down to 50: the call's end closes nothing.
TEST_F(CallEndTest, AHeldCloseIsDecidedAgainWithTheSettingsOfTheCallsEnd)
{
    for (const char* change : { "settings never y", "settings ramValue 50" }) {
        events.clear();
        play({ "settings never", "settings ramValue 175", "memory total=1024 base=712", "app y \"Y\" mem=200",
               "launch y", "home", "state y 2", "wait 0.5", "call incoming", "wait 1", "call active", change,
               "wait 120", "call none", "wait 10" });
        EXPECT_TRUE(closes().empty()) << change;
    }
    EXPECT_TRUE(recorded().empty());
    // Above the threshold it stays a suspect, as any application left and not closed.
    EXPECT_EQ(susApp->size(), 1u);
}

TEST_F(CallEndTest, AHeldLowMemoryCloseRecordsTheFigureOfTheCallsEnd)
{
    play({ "memory total=1024 base=712", "app y \"Y\" mem=200", "launch y", "home", "state y 2", "wait 0.5",
           "call incoming", "wait 1", "call active", "free 100", "wait 120", "call none", "wait 0.999" });
    EXPECT_TRUE(closes().empty());
    play({ "wait 0.001" });
    EXPECT_EQ(closes(), Lines { "closed y" });
    EXPECT_EQ(recorded(), Lines { "y Low memory 100" });
}

TEST_F(CallEndTest, AlwaysListedLeavesAllCloseAndTheRestGetOneLowMemoryClose)
{
    play({ "settings always b d", "app a \"A\"", "app b \"B\"", "app c \"C\"", "app d \"D\"", "app e \"E\"",
           "launch a", "launch b", "launch c", "launch d", "launch e", "home", "free 100", "call outgoing",
           "state a 2", "state b 2", "state c 2", "state d 2", "state e 2", "call none", "wait 1" });
    // In the order they left; b and d as always-listed, a as the oldest suspect.
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed d" }));
    play({ "free 200", "wait 10" });
    EXPECT_EQ(closes(), (Lines { "closed a", "closed b", "closed d" }));
    EXPECT_EQ(suspects(), (Lines { "c", "e" }));
}

// A save lands in the second between the decision and the close.
TEST_F(CallEndTest, AFiringCloseFindsItsApplicationNeverListedAndClosesNothing)
{
    play({ "app a \"A\"", "launch a", "home", "free 100", "state a 2", "wait 0.5", "settings never a", "wait 1" });
    EXPECT_TRUE(closes().empty());
    EXPECT_TRUE(recorded().empty());
}

// The chain does not end there: memory is still low, so 3.6 s later it closes the next oldest.
TEST_F(CallEndTest, AChainCloseThatFindsItsApplicationNeverListedStillCarriesTheChainOn)
{
    play({ "app a \"A\"", "app b \"B\"", "app c \"C\"", "launch a", "launch b", "launch c", "home",
           "free 300", "state a 2", "state b 2", "free 100", "state c 2", "wait 0.5", "settings never a", "wait 0.5" });
    EXPECT_TRUE(closes().empty());
    EXPECT_EQ(eventsStartingWith("posted norv.swr.kill.app").size(), 1u);
    play({ "wait 4.6" });
    EXPECT_EQ(timedCloses(), Lines { "[5.600] closed b" });
}

// The chain stopped by a call, with the close it had pending called off meanwhile (its
// application came back): at the call's end the re-check is made then, with a fresh figure.
TEST_F(CallEndTest, ACalledOffChainCloseHeldByACallStillLeavesTheChainToItsEnd)
{
    play({ "app a \"A\"", "app b \"B\"", "app c \"C\"", "launch a", "launch b", "launch c", "home", "free 300",
           "state a 2", "state b 2", "free 100", "state c 2", "wait 0.5", "call incoming", "wait 1", "launch a", "state a 4",
           "home", "wait 10", "call none", "wait 1" });
    EXPECT_EQ(closes(), Lines { "closed b" });
    EXPECT_EQ(recorded(), Lines { "b Low memory 100" });
}

} // namespace
