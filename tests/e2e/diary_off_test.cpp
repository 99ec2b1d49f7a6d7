// Off means gone, with the real pane and library in two processes on the real clock: an
// application used, the switch turned off in the pane and on again within the minute, and the
// library's minute's write (made at once with `show diary now`, as its timer would) never names it.
#include "contract/diary_file.h"
#include "tests/e2e/device_test.h"

#include <thread>

namespace sv::test {
namespace {

using DiaryOff = DeviceTest;

// Whether a line holding text arrives after the first `from` lines, within timeoutSeconds (the pane
// reports the library's own save of the switch too, before ours).
bool lineAfter(RunningProcess& process, std::size_t from, const std::string& text, double timeoutSeconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        for (const std::string& line : process.linesFrom(from))
            if (line.find(text) != std::string::npos)
                return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST_F(DiaryOff, OffAndOnAgainWithinTheMinuteKeepsNothingOfBefore)
{
    auto home = startSpringboard();
    auto pane = startPreferences();
    ASSERT_TRUE(home->started() && pane->started());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(home->write("settings learnFromUse on\n"
                            "app com.example.news \"News\" mem=30\n"
                            "app com.example.radio \"Radio\" mem=30\n"
                            "launch com.example.news\nstate com.example.news 4\nwait 1\n"
                            "home\nstate com.example.news 2\nshow suspects\n"));
    ASSERT_TRUE(home->waitForLine("] suspects", 10));
    ASSERT_TRUE(pane->write("open\nwait 0.5\n"));
    std::this_thread::sleep_until(start + std::chrono::seconds(4));
    ASSERT_TRUE(pane->write("tap LearnFromUse\n"));
    ASSERT_TRUE(pane->waitForLine("] saved LearnFromUse false", 10));
    std::size_t off = pane->linesFrom(0).size();
    std::this_thread::sleep_until(start + std::chrono::seconds(5));
    ASSERT_TRUE(pane->write("tap LearnFromUse\n"));
    ASSERT_TRUE(lineAfter(*pane, off, "] saved LearnFromUse true", 10));
    EXPECT_FALSE(std::filesystem::exists(root.host(std::string(slv::diary::Path))));

    // The library has not looked since: its minute's write finds the stamp moved.
    std::size_t from = home->linesFrom(0).size();
    ASSERT_TRUE(home->write("show diary now\n"));
    ASSERT_TRUE(home->waitForLine("] diary", 10));
    std::vector<std::string> shown = home->linesFrom(from);
    EXPECT_EQ(countLines(::testing::PrintToString(shown), "] diary (none)"), 1) << ::testing::PrintToString(shown);

    // What is used after the on is kept, alone.
    from = home->linesFrom(0).size();
    ASSERT_TRUE(home->write("launch com.example.radio\nstate com.example.radio 4\nshow diary now\n"));
    ASSERT_TRUE(home->waitForLine("\tcom.example.radio\tOpened\t", 10));
    auto result = home->wait(10);
    EXPECT_FALSE(result.printed("\tcom.example.news\t")) << result.out;
    std::string file = readHostFile(root.host(std::string(slv::diary::Path)));
    EXPECT_EQ(file.find("com.example.news"), std::string::npos) << file;
    EXPECT_NE(file.find("\tcom.example.radio\tOpened\t"), std::string::npos) << file;
    pane->wait(10);
}

} // namespace
} // namespace sv::test
