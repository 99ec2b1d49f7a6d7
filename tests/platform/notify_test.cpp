#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> received;

void record(CFNotificationCenterRef, void*, const char* name, const void*, const void*)
{
    received.emplace_back(name);
}

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        static bool registered = [] {
            auto center = CFNotificationCenterGetDarwinNotifyCenter();
            CFNotificationCenterAddObserver(center, nullptr, record, "test.notify.one", nullptr, 0);
            CFNotificationCenterAddObserver(center, nullptr, record, "test.notify.two", nullptr, 0);
            return true;
        }();
        (void)registered;
        root = std::make_unique<sv::test::DeviceRoot>();
    }
    void TearDown() override { root.reset(); }

    // Runs the real run loop until count names have arrived or a few seconds have passed.
    void waitFor(std::size_t count)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received.size() < count && std::chrono::steady_clock::now() < deadline)
            sv::RunLoop::main().runOnce(0.05);
    }

    std::unique_ptr<sv::test::DeviceRoot> root;
};

TEST_F(NotifyTest, APostReachesThePosterItselfOnlyThroughItsRunLoop)
{
    notify_post("test.notify.one");
    notify_post("test.notify.unobserved");
    EXPECT_TRUE(received.empty());
    sv::RunLoop::main().runOnce(0);
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.one" }));
}

TEST_F(NotifyTest, APostFromAnotherProcessArrivesOnThisRunLoop)
{
    auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                         root->path(), "--virtual-clock" },
                                       "post test.notify.two\npost test.notify.one\n");
    ASSERT_EQ(result.status, 0) << result.err;
    waitFor(2);
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.two", "test.notify.one" }));
}

TEST_F(NotifyTest, SocketsOfProcessesThatAreGoneAreSweptAway)
{
    std::string folder = root->host(sv::notify::kFolder);
    sv::test::writeHostFile(folder + "/999999999.sock", "");
    notify_post("test.notify.one");
    EXPECT_FALSE(std::filesystem::exists(folder + "/999999999.sock"));
}

} // namespace
