// The model states the rules on its own; these pin the ones whose timing or order is easy to get
// wrong, so that a change to the model is a change someone meant.
#include "model/day.h"
#include "model/scenario.h"
#include "tests/support/call_day.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

Lines play(const std::string& scenario)
{
    auto result = model::playScenario(scenario);
    EXPECT_TRUE(result.problems.empty());
    return result.lines;
}

TEST(ModelChain, ClosesTheOldestEveryFourPointSixSecondsWhileMemoryStaysLow)
{
    Lines lines = play(R"(memory total=724
settings ramValue 300
app a "A" mem=10
app b "B" mem=10
app c "C" mem=10
launch a
launch b
launch c
home
state a 1
state b 1
state c 2
wait 20
show suspects
)");
    Lines expected = {
        "[1.000] closed a", "[1.000] posted norv.swr.kill.app", "[4.600] posted norv.swr.kill.test",
        "[5.600] closed b", "[5.600] posted norv.swr.kill.app", "[9.200] posted norv.swr.kill.test",
        "[10.200] closed c", "[10.200] posted norv.swr.kill.app", "[13.800] posted norv.swr.kill.test",
        "[20.000] suspects (none)",
    };
    EXPECT_EQ(lines, expected);
}

TEST(ModelThreshold, IsOneReadingWhateverTheFileLacks)
{
    model::Day day;
    EXPECT_EQ(day.threshold(), 175);
    day.touchSettings(); // a catalogue export wrote the file without a threshold
    EXPECT_EQ(day.threshold(), 175);
    day.setThreshold(std::nullopt);
    EXPECT_EQ(day.threshold(), 175);
    day.setThreshold(250);
    EXPECT_EQ(day.threshold(), 250);
    // The slider's range, 30 to 300: a hand-edited value outside it reads as its nearest end.
    day.setThreshold(-50);
    EXPECT_EQ(day.threshold(), 30);
    day.setThreshold(99999999999);
    EXPECT_EQ(day.threshold(), 300);
    day.setThreshold(173);
    EXPECT_EQ(day.threshold(), 173);
    day.pinFree(250);
    EXPECT_EQ(day.freeFigure(), 250);
    day.pinFree(174.99999);
    EXPECT_EQ(day.freeFigure(), 175);
}

// A switch is on for true and for any number but 0 (a NaN is no number), whatever the scenario
// stores; the library and the pane read the same (tests/closer, tests/settings).
TEST(ModelSwitches, AreOnForTrueAndForAnyNumberButZero)
{
    for (auto [word, on] : std::initializer_list<std::pair<const char*, bool>> {
             { "on", true }, { "off", false }, { "1", true }, { "0", false }, { "-3", true }, { "2", true },
             { "1.0", true }, { "0.0", false }, { "-0.0", false }, { "0.25", true }, { "nan", false }, { "inf", true } }) {
        Lines lines = play(std::string("app a \"A\" mem=10\nsettings ramValue 30\nsettings alwaysKill ") + word
                           + "\nlaunch a\nhome\nstate a 2\nwait 2\n");
        EXPECT_EQ(lines, on ? Lines { "[1.000] closed a" } : Lines {}) << word;
    }
    EXPECT_FALSE(model::playScenario("settings alwaysKill yes\n").problems.empty()) << "no number, no switch word";
}

TEST(ModelCalls, ACloseDueDuringACallWaitsAndWhatTheCallHeldBackIsDecidedAtItsEnd)
{
    Lines lines = play(R"(settings always a b
launch a
launch b
home
state a 2
wait 0.5
call incoming
wait 1
state b 2
wait 3
call none
wait 2
show history
)");
    // a fell due at 1.0 while the phone rang: decided again at the call's end, with b.
    Lines expected = {
        "[5.500] closed a", "[5.500] closed b",
        "[6.500] history a \"Always list\"", "[6.500] history b \"Always list\"",
    };
    EXPECT_EQ(lines, expected);
}

Lines only(const Lines& lines, const std::string& containing)
{
    Lines found;
    for (const std::string& line : lines)
        if (line.find(containing) != std::string::npos)
            found.push_back(line);
    return found;
}

// Ten leaves during a call: its end closes the four that bring memory above 175 MB, whatever
// Learn From Use says.
TEST(ModelCalls, LeavesDuringACallAreDecidedAsOneAtItsEnd)
{
    for (const char* learnFromUse : { "off", "on" }) {
        Lines expected = { "[21.000] closed app0", "[25.600] closed app1", "[30.200] closed app2",
                           "[34.800] closed app3" };
        EXPECT_EQ(only(play(sv::test::tenLeavesDuringACall(learnFromUse)), "closed"), expected) << learnFromUse;
    }
}

// Y left with 112 MB free; its close fell due while the phone rang. What the call's end decides
// depends on the settings and the memory of that moment.
TEST(ModelCalls, AHeldCloseIsDecidedAgainWithTheSettingsAndMemoryOfTheCallsEnd)
{
    const std::string before = "memory total=1024 base=712\napp y \"Y\" mem=200\nlaunch y\nhome\nstate y 2\n"
                               "wait 0.5\ncall incoming\nwait 1\ncall active\n";
    const std::string after = "wait 120\ncall none\nwait 10\nshow suspects\nshow history\n";
    EXPECT_EQ(play(before + "settings never y\n" + after),
              (Lines { "[131.500] suspects (none)", "[131.500] history (none)" }));
    EXPECT_EQ(play(before + "settings ramValue 50\n" + after),
              (Lines { "[131.500] suspects y", "[131.500] history (none)" }));
    EXPECT_EQ(play(before + "free 100\n" + after),
              (Lines { "[122.500] closed y", "[131.500] suspects (none)", "[131.500] history y \"Low memory\"" }));

    // The close made records the figure of the call's end.
    model::Day day;
    day.memory(1024, 712);
    day.install(model::App { .key = "y", .memoryMB = 200 });
    day.launch("y");
    day.home();
    day.stateChanged("y", 2);
    day.advance(0.5);
    day.call(model::Call::Incoming);
    day.advance(1);
    day.pinFree(100);
    day.advance(120);
    day.call(model::Call::None);
    day.advance(10);
    ASSERT_EQ(day.history().size(), 1u);
    EXPECT_EQ(day.history()[0].freeMemory, 100);
}

// A save puts the application on the Never list in the second before its close: nothing is
// closed, and the chain goes on while memory stays low.
TEST(ModelChain, ACloseThatFindsItsApplicationNeverListedClosesNothingAndTheChainGoesOn)
{
    Lines lines = play(R"(settings ramValue 150
launch a
launch b
launch c
home
free 300
state a 2
state b 2
free 100
state c 2
wait 0.5
settings never a
wait 5.1
)");
    Lines expected = { "[1.000] posted norv.swr.kill.app", "[4.600] posted norv.swr.kill.test", "[5.600] closed b",
                       "[5.600] posted norv.swr.kill.app" };
    EXPECT_EQ(lines, expected);
}

TEST(ModelChain, ARecheckFindingAChainClosePendingDoesNothing)
{
    // a's close (with re-check) is pending when someone posts the re-check's own name.
    Lines lines = play(R"(memory total=724
settings ramValue 300
launch a
launch b
launch c
home
state a 1
state b 2
post norv.swr.kill.test
wait 1.5
show suspects
)");
    Lines expected = { "[0.000] posted norv.swr.kill.test", "[1.000] closed a", "[1.000] posted norv.swr.kill.app",
                       "[1.500] suspects b" };
    EXPECT_EQ(lines, expected);
}

TEST(ModelSuspects, TheOldestWithoutIdentifierOrNeverListedIsDroppedAndTheNextTaken)
{
    Lines lines = play(R"(memory total=724
settings ramValue 300
settings never b
app x "X" no-id
launch x
launch b
launch c
home
state x 2
state b 1
state c 2
show suspects
wait 1
)");
    Lines expected = { "[0.000] suspects (none)", "[1.000] closed c", "[1.000] posted norv.swr.kill.app" };
    EXPECT_EQ(lines, expected);
}

TEST(ModelHistory, AReturnWithinAMinuteMarksTheCloseAndALaterOneDoesNot)
{
    Lines lines = play(R"(settings always a b
launch a
launch b
home
state a 2
state b 2
wait 1
wait 20
launch a
state a 4
wait 60
launch b
state b 4
show history
)");
    Lines expected = { "[1.000] closed a", "[1.000] closed b", "[81.000] history a \"Always list\" reopened 20",
                       "[81.000] history b \"Always list\"" };
    EXPECT_EQ(lines, expected);
}

TEST(ModelDay, ReplaysAMillionEventsWithoutGrowing)
{
    model::Day day;
    day.setAlways({ "a" });
    for (int i = 0; i < 250000; ++i) {
        day.launch("a");
        day.stateChanged("a", 4);
        day.home();
        day.stateChanged("a", 2);
        day.advance(1.5);
    }
    EXPECT_EQ(day.history().size(), model::kHistoryLimit);
    EXPECT_TRUE(day.suspects().empty());
}

} // namespace
