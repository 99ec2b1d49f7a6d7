#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <csignal>

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

    // A process observing the given names, ready to receive.
    std::unique_ptr<sv::test::RunningProcess> observer(const std::vector<std::string>& names)
    {
        std::vector<std::string> argv { sv::test::buildPath("tests/support/notify-observer"), root->path() };
        argv.insert(argv.end(), names.begin(), names.end());
        auto process = std::make_unique<sv::test::RunningProcess>(argv);
        EXPECT_TRUE(process->waitForLine("ready", 10));
        return process;
    }

    // Sockets in the folder that nobody ever reads, full after a few posts.
    std::vector<int> deafSockets(int count)
    {
        std::vector<int> sockets;
        for (int i = 0; i < count; ++i) {
            int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            std::string path = root->host(std::string(sv::notify::kFolder) + "/" + std::to_string(800000000 + i) + ".sock");
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
            sockets.push_back(fd);
        }
        return sockets;
    }

    static double secondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

TEST_F(NotifyTest, PostsFromManyThreadsAtOnceEachArriveOnce)
{
    constexpr int kThreads = 4, kPosts = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([] {
            for (int i = 0; i < kPosts; ++i)
                notify_post("test.notify.one");
        });
    for (std::thread& poster : posters)
        poster.join();
    waitFor(kThreads * kPosts);
    sv::RunLoop::main().runOnce(0.05);
    EXPECT_EQ(received.size(), std::size_t(kThreads * kPosts));
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
    std::string killed;
    {
        auto process = observer({ "test.notify.one" });
        killed = folder + "/" + std::to_string(process->pid()) + ".sock";
        ASSERT_TRUE(std::filesystem::exists(killed));
        ::kill(process->pid(), SIGKILL);
        process->wait(10);
    }
    EXPECT_EQ(notify_post("test.notify.one"), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/999999999.sock"));
    EXPECT_FALSE(std::filesystem::exists(killed));
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

namespace {

// Posts never wait for observers, and a name that found no room still arrives once the observer
// reads again: a stopped process, and sockets that are never read.
TEST_F(NotifyTest, AStoppedObserverHoldsNoPostAndGetsEveryNameWhenItRunsAgain)
{
    std::vector<std::string> names;
    for (int i = 0; i < 34; ++i)
        names.push_back("test.stopped." + std::to_string(i));
    auto process = observer(names);
    auto stuck = deafSockets(10);
    ::kill(process->pid(), SIGSTOP);
    auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 3; ++round)
        for (const auto& name : names)
            EXPECT_EQ(notify_post(name.c_str()), 0u);
    // 102 posts into eleven full sockets; each post once waited 200 ms for every one of them.
    EXPECT_LT(secondsSince(start), 2.0);
    ::kill(process->pid(), SIGCONT);
    for (const auto& name : names)
        EXPECT_TRUE(process->waitForLine("got " + name, 10)) << name;
    for (int fd : stuck)
        ::close(fd);
}

TEST_F(NotifyTest, ALiveObserverBesideAHundredDeafOnesGetsEveryPostInOrder)
{
    auto process = observer({ "test.live.a", "test.live.b" });
    auto stuck = deafSockets(100);
    auto start = std::chrono::steady_clock::now();
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        const char* name = i % 3 ? "test.live.a" : "test.live.b";
        notify_post(name);
        expected += std::string("got ") + name + "\n";
        // Paced so that the observer keeps up.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    double posting = secondsSince(start);
    notify_post("test.live.end");
    auto result = process->wait(10);
    EXPECT_LT(posting, 2.0);
    EXPECT_EQ(result.out, "ready\n" + expected);
    for (int fd : stuck)
        ::close(fd);
}

// The own socket holds about ten datagrams; the poster's own posts do not go through it.
TEST_F(NotifyTest, OwnPostsOfOneTurnArriveEveryOneInOrder)
{
    std::vector<std::string> expected;
    for (int i = 0; i < 100; ++i) {
        const char* name = i % 7 == 6 ? "test.notify.two" : "test.notify.one";
        notify_post(name);
        expected.emplace_back(name);
    }
    waitFor(expected.size());
    EXPECT_EQ(received, expected);
}

TEST_F(NotifyTest, OwnPostsPastWhatTheLoopKeepsStillDeliverEachName)
{
    for (int i = 0; i < 5000; ++i)
        notify_post("test.notify.one");
    notify_post("test.notify.two");
    sv::RunLoop::main().drainSources();
    ASSERT_FALSE(received.empty());
    EXPECT_NE(std::find(received.begin(), received.end(), "test.notify.two"), received.end());
    EXPECT_EQ(received.back(), "test.notify.two");
}

TEST_F(NotifyTest, ARootTooLongForASocketPathStillHearsOtherProcesses)
{
    std::string longRoot = root->path() + "/" + std::string(120, 'r') + "/device";
    std::filesystem::create_directories(longRoot);
    sv::test::installLibrary(longRoot); // a home screen without it says so on standard error
    sv::fs::setDeviceRoot(longRoot);
    sv::notify::rebindForTesting();
    std::string ownSocket = longRoot + sv::notify::kFolder + "/" + std::to_string(::getpid()) + ".sock";
    ASSERT_GT(ownSocket.size(), sizeof(sockaddr_un::sun_path));
    EXPECT_TRUE(std::filesystem::exists(ownSocket));
    auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root", longRoot,
                                         "--virtual-clock" },
                                       "post test.notify.two\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    waitFor(1);
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.two" }));
    sv::fs::setDeviceRoot(root->path());
    sv::notify::rebindForTesting();
}

TEST_F(NotifyTest, AProcessWhoseSocketIsRemovedListensAgain)
{
    auto postFromAnotherProcess = [this](const std::string& name) {
        auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                             root->path(), "--virtual-clock" },
                                           "post " + name + "\n");
        EXPECT_EQ(result.status, 0) << result.err;
    };
    std::string own = root->host(std::string(sv::notify::kFolder) + "/" + std::to_string(::getpid()) + ".sock");
    ASSERT_TRUE(std::filesystem::remove(own));
    // Posted while nothing of this process was there to receive it.
    postFromAnotherProcess("test.notify.one");
    waitFor(1);
    EXPECT_TRUE(std::filesystem::exists(own));
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.one" }));

    // The whole folder going is survived as well.
    std::filesystem::remove_all(root->host(sv::notify::kFolder));
    sv::RunLoop::main().runOnce(0.5);
    EXPECT_TRUE(std::filesystem::exists(own));
    postFromAnotherProcess("test.notify.two");
    waitFor(2);
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.one", "test.notify.two" }));
}

// A notification folder planted as a link to somewhere else: nothing is bound, sent or swept there,
// and the process says once that it cannot listen; it still hears its own posts.
TEST_F(NotifyTest, APlantedFolderLinkIsNeitherListenedInNorSweptAndIsReportedOnce)
{
    static std::vector<std::string> problems;
    problems.clear();
    sv::notify::setReporter([](const char* problem) { problems.emplace_back(problem); });
    std::string outside = root->path() + "-outside";
    std::filesystem::create_directories(outside);
    sv::test::writeHostFile(outside + "/999999999.sock", "");
    std::string folder = root->host(sv::notify::kFolder);
    std::filesystem::remove_all(folder);
    std::filesystem::create_symlink(outside, folder);

    sv::notify::rebindForTesting();
    EXPECT_NE(notify_post("test.notify.one"), 0u);
    EXPECT_NE(notify_post("test.notify.two"), 0u);
    sv::RunLoop::main().runOnce(0);
    sv::notify::setReporter(nullptr);

    EXPECT_TRUE(std::filesystem::exists(outside + "/999999999.sock"));
    EXPECT_FALSE(std::filesystem::exists(outside + "/" + std::to_string(::getpid()) + ".sock"));
    EXPECT_EQ(received, (std::vector<std::string> { "test.notify.one", "test.notify.two" })) << "it still hears itself";
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "cannot listen for notifications: /var/run/notify: a symbolic link is in the way");
    std::filesystem::remove(folder);
    std::filesystem::remove_all(outside);
    sv::notify::rebindForTesting();
}

} // namespace
