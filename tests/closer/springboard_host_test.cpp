// The library loaded by the real home-screen host, in its own process.
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
        std::filesystem::create_directories(root_.host("/Library/Injection"));
        std::filesystem::copy_file(sv::test::buildPath("closer/libSleepwright.so"),
                                   root_.host("/Library/Injection/libSleepwright.so"));
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
