// The library loaded by the real home-screen host, in its own process.
#include "tests/support/call_day.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using Lines = std::vector<std::string>;

class SpringboardHostTest : public ::testing::Test {
protected:
    void install()
    {
        sv::test::installLibrary(root_.path());
    }

    sv::test::ProcessResult run(const std::vector<std::string>& extra, const std::string& input = "")
    {
        std::vector<std::string> argv { sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                        root_.path(), "--virtual-clock" };
        argv.insert(argv.end(), extra.begin(), extra.end());
        return sv::test::runProcess(argv, input);
    }

    static Lines lines(const std::string& text, std::string_view containing = "")
    {
        Lines found;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.find(containing) != std::string::npos)
                found.push_back(line);
        return found;
    }

    sv::test::DeviceRoot root_;
};

const char* kChain = R"(settings ramValue 150
app a "A" mem=10
app b "B" mem=10
app c "C" mem=10
launch a
launch b
launch c
launch d
free 300
state a 2
state b 2
free 100
state c 2
show suspects
wait 20
show suspects
launch b
launch c
launch a
free 300
state b 2
state c 2
free 0
post norv.swr.kill.test
wait 2
show suspects
)";

} // namespace

TEST_F(SpringboardHostTest, TheInjectedLibraryRunsTheChainAcrossItsNotifications)
{
    install();
    auto result = run({}, kChain);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out, " "), (Lines {
        "[0.000] state a 2", "[0.000] state b 2", "[0.000] state c 2", "[0.000] suspects b c",
        "[1.000] closed a", "[1.000] posted norv.swr.kill.app", "[4.600] posted norv.swr.kill.test",
        "[5.600] closed b", "[5.600] posted norv.swr.kill.app", "[9.200] posted norv.swr.kill.test",
        "[10.200] closed c", "[10.200] posted norv.swr.kill.app", "[13.800] posted norv.swr.kill.test",
        "[20.000] suspects (none)",
        // A post of the re-check's second name, by anyone, takes the oldest suspect.
        "[20.000] state b 2", "[20.000] state c 2", "[20.000] posted norv.swr.kill.test",
        "[21.000] closed b", "[21.000] posted norv.swr.kill.app", "[22.000] suspects c",
    }));
}

TEST_F(SpringboardHostTest, WithoutTheLibraryNothingIsClosed)
{
    auto result = run({}, kChain);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(lines(result.out, "closed").empty());
    EXPECT_EQ(lines(result.out, "suspects").front(), "[0.000] suspects (unavailable)");
}

TEST_F(SpringboardHostTest, AMorningOfUseSparesTheNeverListedApplication)
{
    install();
    auto result = run({ std::string(SV_SOURCE_DIR) + "/hosts/springboard/scenarios/morning.txt" });
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out, "closed"), (Lines { "[1081.000] closed com.example.mail",
                                                    "[1085.600] closed com.example.news",
                                                    "[1090.200] closed com.example.camera",
                                                    "[1116.000] closed com.example.game" }));
    EXPECT_EQ(lines(result.out, "switcher").back(), "[1120.000] switcher com.example.maps com.example.notes");
}

TEST_F(SpringboardHostTest, TheChainSparesThePhoneTheNeverListAndCalls)
{
    install();
    auto result = run({}, R"(settings never b
settings ramValue 175
app com.apple.mobilephone "Phone" mem=10
app com.apple.AdSheetPhone "AdSheet" mem=10
app a "A" mem=10
app b "B" mem=10
app c "C" mem=10
app d "D" mem=10
launch com.apple.mobilephone
launch com.apple.AdSheetPhone
launch b
launch a
launch c
launch d
launch top
free 300
state com.apple.mobilephone 2
call active
state b 2
call none
state com.apple.AdSheetPhone 2
state a 2
state c 2
free 100
state d 2
show suspects
wait 7
call incoming
wait 10
call none
wait 10
show suspects
state d 2
wait 10
show suspects
)");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out, "suspects"), (Lines { "[0.000] suspects com.apple.mobilephone com.apple.AdSheetPhone c d",
                                                      "[27.000] suspects com.apple.mobilephone com.apple.AdSheetPhone",
                                                      "[37.000] suspects com.apple.mobilephone com.apple.AdSheetPhone" }));
    // a and c 4.6 s apart; the re-check of 9.2 s came during the call and was held until its end.
    EXPECT_EQ(lines(result.out, "closed"), (Lines { "[1.000] closed a", "[5.600] closed c", "[18.000] closed d" }));
    EXPECT_EQ(lines(result.out, "kill.test"), (Lines { "[4.600] posted norv.swr.kill.test",
                                                       "[9.200] posted norv.swr.kill.test",
                                                       "[21.600] posted norv.swr.kill.test",
                                                       "[31.600] posted norv.swr.kill.test" }));
}

TEST_F(SpringboardHostTest, TheFirstCatalogueKeepsTheThresholdThePaneShows)
{
    install();
    auto result = run({ "--memory-events" }, R"(memory total=1024 base=800
app a "A" mem=30
app b "B" mem=30
launch a
launch b
launch top
post norv.slv.grabapps
wait 1
state a 2
wait 2
)");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(root_.host("/var/mobile/Library/Preferences/com.norv.slv.plist")));
    EXPECT_EQ(lines(result.out, "threshold"), Lines { "[0.000] threshold 175" });
    EXPECT_EQ(lines(result.out, "closed"), Lines { "[2.000] closed a" });
}

// The switches as the library reads them, reported when they change (off needs no report at the
// start); a number stored by the scenario reads as the pane shows it.
TEST_F(SpringboardHostTest, TheSwitchesAreReportedAsTheLibraryReadsThem)
{
    install();
    auto result = run({ "--memory-events" }, R"(app a "A" mem=30
settings ramValue 30
settings alwaysKill 1
launch a
home
state a 2
wait 2
settings alwaysKill 0.0
settings learnFromUse -2
settings learnFromUse nan
settings alwaysKill on
)");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out, "Kill "), (Lines { "[0.000] alwaysKill on", "[2.000] alwaysKill off", "[2.000] alwaysKill on" }));
    EXPECT_EQ(lines(result.out, "FromUse "), (Lines { "[2.000] learnFromUse on", "[2.000] learnFromUse off" }));
    EXPECT_EQ(lines(result.out, "closed"), Lines { "[1.000] closed a" }) << "Close Every App read as on";
    EXPECT_TRUE(lines(result.out, "settings alwaysKill takes").empty()) << result.err;
}

TEST_F(SpringboardHostTest, ACloseDueDuringACallIsDecidedAgainWhenTheCallEnds)
{
    install();
    auto result = run({}, R"(settings always a b
app a "A" mem=10
app b "B" mem=10
launch a
launch b
launch top
state a 2
wait 0.5
call incoming
wait 1
call active
state b 2
wait 10
call none
wait 2
)");
    EXPECT_EQ(result.status, 0) << result.err;
    // a fell due at 1.0 while the phone rang; b, always-listed too, left during the call. Both
    // are decided when the call ends, a first.
    EXPECT_EQ(lines(result.out, "closed"), (Lines { "[12.500] closed a", "[12.500] closed b" }));

    // Y's close fell due while the phone rang; during the call the pane put Y on the Never list.
    auto never = run({}, R"(settings never
memory total=1024 base=712
app y "Y" mem=200
launch y
home
state y 2
wait 0.5
call incoming
wait 1
call active
settings never y
wait 120
call none
wait 10
show suspects
)");
    EXPECT_EQ(never.status, 0) << never.err;
    EXPECT_EQ(lines(never.out, "closed"), Lines {});
    EXPECT_EQ(lines(never.out, "suspects"), Lines { "[131.500] suspects (none)" });
}

// Ten leaves during a call: at its end the four closes that bring memory above 175 MB, one after
// another as the chain measures, with Learn From Use on or off.
TEST_F(SpringboardHostTest, LeavesDuringACallCloseOnlyWhatMemoryNeedsWhenItEnds)
{
    install();
    for (const char* learnFromUse : { "off", "on" }) {
        auto result = run({}, "memory total=1024 base=512\n" + sv::test::tenLeavesDuringACall(learnFromUse));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(lines(result.out, "closed"), (Lines { "[21.000] closed app0", "[25.600] closed app1",
                                                        "[30.200] closed app2", "[34.800] closed app3" }))
            << learnFromUse;
    }
}

TEST_F(SpringboardHostTest, PlentyOfFreeMemoryIsPlentyAtEverySize)
{
    install();
    auto result = run({}, R"(app a "A" mem=10
launch a
home
free 2048
state a 2
wait 2
free 8192
state a 2
wait 2
free auto
memory total=4096 base=502
show memory
state a 2
wait 2
free 0.5
state a 2
wait 2
)");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out, "memory"), Lines { "[4.000] memory total=4096 base=502 apps=10 free=3584" });
    EXPECT_EQ(lines(result.out, "closed"), Lines { "[7.000] closed a" });
}
