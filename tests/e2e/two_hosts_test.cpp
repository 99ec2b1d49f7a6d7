// The two hosts on one device, meeting only in the settings file and the system-wide names.
#include "tests/e2e/device_test.h"

namespace sv::test {
namespace {

using TwoHosts = DeviceTest;

// The pane posts nothing after a save: the library's next decision simply reads the new list.
TEST_F(TwoHosts, AListSavedByThePaneChangesTheLibrarysNextDecision)
{
    auto home = startSpringboard();
    ASSERT_TRUE(home->started());
    // A settings file without "ramValue" would mean a threshold of 0: the user has set one.
    ASSERT_TRUE(home->write("settings ramValue 100\n"
                            "app com.example.notes \"Notes\" mem=30\n"
                            "app com.example.radio \"Radio\" mem=30\n"
                            "free 50\n"
                            "launch com.example.notes\n"
                            "home\n"
                            "state com.example.notes 2\n"));
    ASSERT_TRUE(home->waitForLine("] closed com.example.notes", 10)) << "not listed yet: closed at low memory";

    auto pane = runProcess({ SV_PREFERENCES_HOST, "--root", root.path() },
                           "open never\nwait-loaded 10\ntap \"Notes\"\nanswer \"Yes\"\n", 30);
    ASSERT_EQ(pane.status, 0) << pane.err;
    ASSERT_NE(pane.out.find("] saved NeverIdentifiers [1 entries]"), std::string::npos) << pane.out;

    ASSERT_TRUE(home->write("launch com.example.notes\nhome\nstate com.example.notes 2\n"
                            "launch com.example.radio\nhome\nstate com.example.radio 2\n"));
    ASSERT_TRUE(home->waitForLine("] closed com.example.radio", 10));
    auto result = home->wait(10);
    EXPECT_EQ(countLines(result.out, "] closed com.example.notes"), 1) << result.out;
    EXPECT_EQ(result.out.find("posted norv.slv.apps.loaded"), result.out.rfind("posted norv.slv.apps.loaded"))
        << "one export, for the chooser; nothing announced the save";
}

// norv.swr.kill.test is a system-wide name: a post from any process runs the library's re-check,
// and the chain then carries itself on through norv.swr.kill.app.
TEST_F(TwoHosts, TheReCheckChainRunsOnPostsFromAnotherProcess)
{
    auto home = startSpringboard();
    ASSERT_TRUE(home->started());
    ASSERT_TRUE(leaveTwoSuspectsAtLowMemory(*home));

    auto asked = std::chrono::steady_clock::now();
    auto poster = runProcess({ SV_PREFERENCES_HOST, "--root", root.path() }, "post norv.swr.kill.test\n", 10);
    ASSERT_EQ(poster.status, 0) << poster.err;
    auto first = home->waitForLine("] closed com.example.mail", 10);
    auto second = home->waitForLine("] closed com.example.news", 15);
    auto result = home->wait(10);
    ASSERT_TRUE(first && second) << result.out;
    EXPECT_GT(secondsBetween(asked, *first), 0.9);
    EXPECT_GT(secondsBetween(*first, *second), 4.5) << "3.6 s of waiting and a 1 s close timer";
    EXPECT_TRUE(result.printed("posted norv.swr.kill.app"));
}

// Leaving the Settings application takes the pane's screens off its navigation stack.
TEST_F(TwoHosts, ResigningPopsThePanesScreens)
{
    for (const char* leave : { "resign", "background" }) {
        auto result = playPreferences(std::string("open never\npost norv.slv.apps.loaded\nwait 0\n") + leave + "\nshow\n");
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(result.printed("] popped SLVNeverAppsController")) << leave;
        EXPECT_TRUE(result.printed("] popped SLVAppDelegate")) << leave << "\n" << result.out;
        // What is left on screen is the Settings application's own list.
        auto shown = result.out.substr(result.out.rfind("popped"));
        EXPECT_NE(shown.find("] screen PSListController \"Settings\"\n"), std::string::npos) << leave << "\n" << shown;
        EXPECT_EQ(shown.find("] screen SLVAppDelegate"), std::string::npos) << leave << "\n" << shown;
    }
}

} // namespace
} // namespace sv::test
