#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
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

// A sender that keeps the socket full: each turn of the run loop takes a bounded share, so the
// loop's other work gets its turn, and every name still arrives, once and in order.
TEST_F(NotifyTest, ABurstArrivesWholeAndInOrderAFewNamesPerTurn)
{
    std::vector<std::string> tapped;
    // A slow receiver, so that the sender refills the socket while names are being handled.
    sv::notify::setTap([](const char* name, void* into) {
        static_cast<std::vector<std::string>*>(into)->emplace_back(name);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }, &tapped);
    std::string path = root->host(std::string(sv::notify::kFolder) + "/" + std::to_string(::getpid()) + ".sock");
    ASSERT_TRUE(std::filesystem::exists(path));
    constexpr int kNames = 200;
    std::thread sender([path] {
        int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        for (int i = 0; i < kNames; ++i) {
            std::string name = "test.burst." + std::to_string(i);
            ::sendto(fd, name.data(), name.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        ::close(fd);
    });
    std::size_t largestTurn = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (tapped.size() < kNames && std::chrono::steady_clock::now() < deadline) {
        std::size_t before = tapped.size();
        sv::RunLoop::main().runOnce(0.05);
        largestTurn = std::max(largestTurn, tapped.size() - before);
    }
    sender.join();
    sv::notify::setTap(nullptr, nullptr);
    std::vector<std::string> expected;
    for (int i = 0; i < kNames; ++i)
        expected.push_back("test.burst." + std::to_string(i));
    EXPECT_EQ(tapped, expected);
    EXPECT_LE(largestTurn, 16u);
}

} // namespace
