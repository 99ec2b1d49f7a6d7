#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { loop.setClock(clock); }
    sv::RunLoop loop;
    std::shared_ptr<sv::ManualClock> clock = std::make_shared<sv::ManualClock>();
};

TEST_F(RunLoopTest, TimersFireInOrderOfTimeThenOfScheduling)
{
    std::vector<std::string> fired;
    loop.scheduleTimer(1.0, [&] { fired.push_back("b@" + std::to_string(clock->now().count())); });
    loop.scheduleTimer(0.5, [&] { fired.push_back("a@" + std::to_string(clock->now().count())); });
    loop.scheduleTimer(1.0, [&] { fired.push_back("c@" + std::to_string(clock->now().count())); });
    loop.runFor(0.75);
    ASSERT_EQ(fired.size(), 1u);
    loop.runFor(10);
    EXPECT_EQ(fired, (std::vector<std::string> { "a@0.500000", "b@1.000000", "c@1.000000" }));
    EXPECT_DOUBLE_EQ(clock->now().count(), 10.75);
}

TEST_F(RunLoopTest, ATimerScheduledWhileFiringRunsInTheSameStretchWhenDue)
{
    std::vector<double> times;
    loop.scheduleTimer(1.0, [&] {
        times.push_back(clock->now().count());
        loop.scheduleTimer(3.6, [&] { times.push_back(clock->now().count()); });
    });
    loop.runFor(5);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_DOUBLE_EQ(times[1], 4.6);
}

TEST_F(RunLoopTest, WhatATimerCapturesLivesUntilItFires)
{
    auto target = std::make_shared<int>(7);
    std::weak_ptr<int> watch = target;
    loop.scheduleTimer(1.0, [kept = std::move(target)] { });
    EXPECT_FALSE(watch.expired());
    loop.runFor(1.0);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST_F(RunLoopTest, SourcesAreDeliveredBeforeTimeMoves)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<std::string> order;
    loop.addSource(fds[0], [&] {
        char c;
        if (::read(fds[0], &c, 1) == 1)
            order.push_back(std::string("byte@") + std::to_string(clock->now().count()));
    });
    loop.scheduleTimer(1.0, [&] {
        order.push_back("timer");
        ASSERT_EQ(::write(fds[1], "x", 1), 1);
    });
    ASSERT_EQ(::write(fds[1], "y", 1), 1);
    loop.runFor(2.0);
    EXPECT_EQ(order, (std::vector<std::string> { "byte@0.000000", "timer", "byte@1.000000" }));
    ::close(fds[0]);
    ::close(fds[1]);
}

// A clock that moves by itself, as the steady clock does, but by the test's reckoning: a tick at
// each reading, and as long as the work a timer says it did.
class WorkingClock final : public sv::Clock {
public:
    Duration now() const override { return now_ += Duration(0.0001); }
    WallTime wallNow() const override { return {}; }
    void work(double seconds) { now_ += Duration(seconds); }

private:
    mutable Duration now_ { 0 };
};

// Work spread over turns of the loop (a step a turn, each re-arming the next) goes on while a
// wait lasts, and the wait still ends on time: at its end only what was due then runs.
TEST(RunLoopWait, WorkThatReArmsItselfDoesNotHoldAWaitPastItsEnd)
{
    sv::RunLoop loop;
    auto clock = std::make_shared<WorkingClock>();
    loop.setClock(clock);
    int steps = 0;
    std::function<void()> step = [&] {
        ++steps;
        clock->work(0.1);
        if (steps < 100)
            loop.scheduleTimer(0, step);
    };
    loop.scheduleTimer(0, step);
    double start = clock->now().count();
    loop.runFor(1.0);
    EXPECT_GE(steps, 10) << "the work went on during the wait";
    EXPECT_LE(steps, 11) << "a second holds ten steps, and the one due at its end";
    EXPECT_LT(clock->now().count() - start, 1.2);
    EXPECT_EQ(loop.pendingTimers(), 1u) << "the rest waits for the next turn";
    loop.runFor(1.0);
    EXPECT_GE(steps, 20);
    EXPECT_LE(steps, 22);
}

TEST(NotificationCenter, DeliversSynchronouslyWithUserInfoAndSurvivesRemovalDuringAPost)
{
    sv::NotificationCenter center;
    int first = 0, second = 0;
    std::string seen;
    center.addObserver(&first, "SLVTimerTester1", [&](const sv::Notification& n) {
        ++first;
        seen = *sv::findString(*n.userInfo, "BundleID");
        center.removeObserver(&second);
    });
    center.addObserver(&second, "SLVTimerTester1", [&](const sv::Notification&) { ++second; });
    center.addObserver(&second, "Other", [&](const sv::Notification&) { ++second; });
    center.post("SLVTimerTester1", nullptr, sv::Dictionary { { "BundleID", "com.example.mail" } });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(seen, "com.example.mail");
    EXPECT_EQ(center.observerCount("Other"), 0u);
}

TEST(NotificationCenter, AnObjectFilterLetsOnlyThatSenderThrough)
{
    sv::NotificationCenter center;
    int a = 0, b = 0, count = 0;
    center.addObserver(&count, "N", [&](const sv::Notification&) { ++count; }, &a);
    center.post("N", &b);
    center.post("N", &a);
    EXPECT_EQ(count, 1);
}

} // namespace
