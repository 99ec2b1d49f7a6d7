// A burst of catalogue requests from another process: the home screen keeps deciding, and the
// settings file stays whole.
#include "tests/e2e/device_test.h"

#include "platform/notify/darwin_notify.h"

#include <atomic>
#include <thread>

namespace sv::test {
namespace {

using Burst = DeviceTest;

TEST_F(Burst, OfCatalogueRequestsStarvesNeitherStateChangesNorTimers)
{
    slv::updateSettings([](Dictionary& settings) {
        settings[std::string(slv::key::RamValue)] = 200;
        settings[std::string(slv::key::NeverIdentifiers)] = Array { slv::identifierEntry("com.example.app002") };
        settings["userKey"] = true;
        return true;
    });
    auto host = startSpringboard();
    ASSERT_TRUE(host->started());
    // Enough applications that each unchanged export costs a read of a sizeable catalogue.
    std::string setup;
    for (int i = 0; i < 300; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "app com.example.app%03d \"App %03d\"\n", i, i);
        setup += line;
    }
    setup += "free 100\nlaunch com.example.app000\nlaunch com.example.app001\npost norv.slv.grabapps\n";
    ASSERT_TRUE(host->write(setup));
    ASSERT_TRUE(host->waitForLine("posted norv.slv.apps.loaded", 60)) << "the first export did not finish";

    // Posts never wait for the home screen, so a burst of a fixed size would be over at once: it
    // goes on until the close, and is at least this long.
    constexpr int kPosts = 1000;
    std::atomic<int> sent { 0 };
    std::atomic<bool> flooding { true };
    std::thread burst([&sent, &flooding] {
        for (; flooding || sent < kPosts; ++sent)
            notify_post(slv::darwin::GrabApps);
    });
    while (sent < kPosts / 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(host->write("state com.example.app000 2\n"));
    auto decided = host->waitForLine("] state com.example.app000 2", 30);
    int sentBeforeDecision = sent;
    auto closed = host->waitForLine("] closed com.example.app000", 30);
    flooding = false;
    burst.join();
    auto result = host->wait(60);

    ASSERT_TRUE(decided) << result.err;
    ASSERT_TRUE(closed) << result.err;
    EXPECT_LT(sentBeforeDecision, sent.load()) << "the burst was over before the state change was decided";
    EXPECT_LT(secondsBetween(asked, *decided), 1.0) << "the state change waited for the burst";
    // The close timer runs one second after the decision; the burst must not hold it up either.
    EXPECT_LT(secondsBetween(*decided, *closed), 2.0);
    EXPECT_EQ(result.status, 0) << result.err;
    RecordProperty("decisionSeconds", std::to_string(secondsBetween(asked, *decided)));
    RecordProperty("requestsReceived", countLines(result.out, "posted norv.slv.grabapps"));

    auto settings = slv::readSettings();
    ASSERT_TRUE(settings) << "the settings file does not parse";
    EXPECT_EQ(findInteger(*settings, slv::key::RamValue), 200);
    EXPECT_TRUE(slv::listContains(findArray(*settings, slv::key::NeverIdentifiers), "com.example.app002"));
    EXPECT_TRUE(findBool(*settings, "userKey"));
    EXPECT_EQ(findInteger(*settings, slv::key::ApplicationsNumber), 300);
    const Array* catalogue = findArray(*settings, slv::key::ApplicationData);
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(catalogue->size(), 300u);
}

} // namespace
} // namespace sv::test
