// System-wide names between the real hosts when a process stops, floods, posts a lot at once or
// loses its socket: posts never wait, and no observed name is lost.
#include "tests/e2e/device_test.h"

#include "platform/notify/darwin_notify.h"

#include <atomic>
#include <csignal>
#include <sstream>
#include <thread>

namespace sv::test {
namespace {

class NotificationDelivery : public DeviceTest {
protected:
    std::string socketOf(pid_t pid) const { return root.host("/var/run/notify/" + std::to_string(pid) + ".sock"); }

    bool appears(const std::string& path, double seconds) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::filesystem::exists(path);
    }

    // The names of the `posted` lines, in order.
    static std::vector<std::string> posts(const std::string& out)
    {
        std::vector<std::string> names;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            if (auto at = line.find("] posted "); at != std::string::npos)
                names.push_back(line.substr(at + 9));
        return names;
    }

    // Seconds from each `posted <from>` line to the next `posted <to>` line.
    static std::vector<double> spans(const std::string& out, const std::string& from, const std::string& to)
    {
        std::vector<double> result;
        std::istringstream lines(out);
        double start = -1;
        for (std::string line; std::getline(lines, line);) {
            double time = std::atof(line.c_str() + 1);
            if (line.ends_with("] posted " + from))
                start = time;
            else if (line.ends_with("] posted " + to) && start >= 0) {
                result.push_back(time - start);
                start = -1;
            }
        }
        return result;
    }
};

// The export posts eight names into the Settings process's socket, which holds about ten: a
// stopped Settings process once held every export of the home screen 1 to 1.8 s.
TEST_F(NotificationDelivery, AStoppedSettingsProcessHoldsUpNoExportAndHearsTheCompletionWhenItRuns)
{
    auto home = startSpringboard();
    ASSERT_TRUE(home->write("app com.example.notes \"Notes\"\napp com.example.radio \"Radio\"\n"));
    ASSERT_TRUE(appears(socketOf(home->pid()), 10));
    auto pane = startPreferences();
    ASSERT_TRUE(pane->write("open never\nwait-loaded 10\n"));
    ASSERT_TRUE(pane->waitForLine("] overlay gone", 20));

    ::kill(pane->pid(), SIGSTOP);
    std::string exports;
    for (int i = 0; i < 5; ++i)
        exports += "post norv.slv.grabapps\nwait 0.3\n";
    ASSERT_TRUE(home->write(exports));
    auto homeResult = home->wait(30);
    ::kill(pane->pid(), SIGCONT);
    ASSERT_TRUE(pane->write("wait 1\n"));
    auto paneResult = pane->wait(30);

    auto durations = spans(homeResult.out, "norv.slv.grabapps", "norv.slv.apps.loaded");
    ASSERT_EQ(durations.size(), 6u) << homeResult.out;
    for (double seconds : durations)
        EXPECT_LT(seconds, 0.25) << homeResult.out;
    // One completion before the stop, and at least one after it.
    EXPECT_GE(countLines(paneResult.out, "] notified CheckOnAppsSLV"), 2) << paneResult.out;
    EXPECT_EQ(paneResult.status, 0) << paneResult.err;
}

// The re-check chain carries itself on through its own posts; a flood of catalogue requests from
// another process once filled the home screen's socket and its "norv.swr.kill.test" was dropped.
TEST_F(NotificationDelivery, TheReCheckChainSurvivesAFloodOfCatalogueRequests)
{
    auto home = startSpringboard();
    ASSERT_TRUE(leaveTwoSuspectsAtLowMemory(*home));

    std::atomic<bool> flooding { true };
    std::thread flood([&flooding] {
        while (flooding)
            notify_post(slv::darwin::GrabApps);
    });
    notify_post("norv.swr.kill.test");
    auto second = home->waitForLine("] closed com.example.news", 20);
    flooding = false;
    flood.join();
    auto result = home->wait(30);
    ASSERT_TRUE(second) << "the chain stopped: " << result.out.substr(0, 4000);
    EXPECT_TRUE(result.printed("] closed com.example.mail"));
    EXPECT_TRUE(result.printed("] posted norv.swr.kill.app"));
    EXPECT_EQ(result.status, 0) << result.err;
}

// A process's own posts in one turn of its loop used to go through its own socket, which holds
// about ten: the rest, the request and the export's completion among them, were dropped.
TEST_F(NotificationDelivery, OwnPostsOfOneTurnAllArriveInOrderAndTheExportCompletes)
{
    std::string scenario = "app com.example.notes \"Notes\"\n";
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        scenario += "post norv.slv.check.on.apps\n";
        expected.push_back("norv.slv.check.on.apps");
    }
    scenario += "post norv.slv.grabapps\nwait 1\n";
    expected.push_back("norv.slv.grabapps");
    for (int i = 0; i < 7; ++i)
        expected.push_back("norv.slv.check.on.apps");
    expected.push_back("norv.slv.apps.loaded");
    auto home = playSpringboard(scenario);
    ASSERT_EQ(home.status, 0) << home.err;
    EXPECT_EQ(posts(home.out), expected) << home.out;

    // The pane relays every stage, and the completion after them.
    std::string stages = "open never\n";
    for (int i = 0; i < 12; ++i)
        stages += "post norv.slv.check.on.apps\n";
    stages += "post norv.slv.apps.loaded\nwait 0\n";
    auto pane = playPreferences(stages);
    ASSERT_EQ(pane.status, 0) << pane.err;
    EXPECT_EQ(countLines(pane.out, "] notified CheckOnAppLoadingSLV"), 12) << pane.out;
    EXPECT_GT(pane.out.find("] notified CheckOnAppsSLV"), pane.out.rfind("] notified CheckOnAppLoadingSLV"));
}

TEST_F(NotificationDelivery, AHostWhoseSocketIsRemovedHearsPostsAgain)
{
    auto home = startSpringboard();
    ASSERT_TRUE(appears(socketOf(home->pid()), 10));
    std::filesystem::remove(socketOf(home->pid()));
    ASSERT_TRUE(appears(socketOf(home->pid()), 5)) << "no new socket";
    notify_post("norv.swr.kill.app");
    EXPECT_TRUE(home->waitForLine("] posted norv.swr.kill.app", 5));
    auto result = home->wait(10);
    EXPECT_EQ(result.err, "");
}

TEST_F(NotificationDelivery, AHostThatCannotListenSaysSoOnceAndPlaysOn)
{
    writeHostFile(root.host("/var/run/notify"), "not a folder");
    auto home = playSpringboard("app com.example.notes \"Notes\"\npost norv.slv.grabapps\nwait 1\n"
                                "post norv.swr.kill.app\nwait 1\n");
    EXPECT_EQ(home.status, 0) << home.err;
    EXPECT_EQ(countLines(home.err, "cannot listen for notifications"), 1) << home.err;
    EXPECT_NE(home.err.find("springboard-host: cannot listen for notifications: /var/run/notify: "
                            "something that is not a folder is in the way\n"),
              std::string::npos)
        << home.err;
    // Its own posts still reach it: the export ran.
    EXPECT_NE(home.out.find("] posted norv.slv.apps.loaded"), std::string::npos) << home.out;
}

} // namespace
} // namespace sv::test
