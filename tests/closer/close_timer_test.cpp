#include "closer/close_timer.h"
#include "closer/recheck_chain.h"
#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/runtime/foundation_objects.h"
#include "tests/closer/closer_fixture.h"

#include <cstdlib>
#include <set>

namespace {

class CloseTimerTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        // a and b run in the background; "top" is in front.
        play({ "app a \"A\"", "app b \"B\"", "launch a", "launch b", "launch top" });
    }

    static id app(const std::string& bundleID) { return sb::Springboard::shared().findApplication(bundleID); }
    static void schedule(const char* bundleID, bool killAgain = false)
    {
        runTimer(app(bundleID), sv::rt::makeString(bundleID).get(), killAgain);
    }
    static void callOff(const char* bundleID) { runTimer(nullptr, sv::rt::makeString(bundleID).get(), false); }
    static std::size_t liveTimers()
    {
        return sv::NotificationCenter::defaultCenter().observerCount(slv::local::TimerTester);
    }
};

} // namespace

TEST_F(CloseTimerTest, ClosesThroughTheSwitcherOneSecondLater)
{
    schedule("a");
    advance(0.999);
    EXPECT_TRUE(events.empty());
    advance(0.001);
    EXPECT_EQ(timeline(), (Lines { "[1.000] closed a" }));
    EXPECT_FALSE(sb::Device::shared().running("a"));
}

TEST_F(CloseTimerTest, OnlyTheNewestRequestForAnIdentifierCloses)
{
    schedule("a");
    schedule("b");
    advance(0.5);
    schedule("a");
    advance(2);
    // b's timer heard only a's notices; a's first timer stood down.
    EXPECT_EQ(timeline(), (Lines { "[1.000] closed b", "[1.500] closed a" }));
}

TEST_F(CloseTimerTest, CalledOffTimerStillFiresAndIsThenGone)
{
    long before = sv::rt::retainCount(app("a"));
    schedule("a");
    EXPECT_EQ(sv::rt::retainCount(app("a")), before + 1); // the run loop holds the application
    EXPECT_EQ(liveTimers(), 1u);
    callOff("a");
    advance(1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(liveTimers(), 0u);
    EXPECT_EQ(sv::rt::retainCount(app("a")), before);
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST_F(CloseTimerTest, TheTopApplicationIsNotAmongTheEntries)
{
    schedule("a");
    play({ "launch a" });
    advance(1);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(sb::Device::shared().running("a"));
}

TEST_F(CloseTimerTest, MarkedTimerStartsTheRecheckEvenWhenCalledOff)
{
    schedule("a", true);
    callOff("a");
    advance(10);
    EXPECT_EQ(timeline(), (Lines { "[1.000] posted norv.swr.kill.app", "[4.600] posted norv.swr.kill.test" }));
}

TEST_F(CloseTimerTest, RecheckTakesTheOldestSuspectOnlyWhileMemoryIsLow)
{
    susApp->push_back(sv::rt::Ref::retain(app("b")));
    susApp->push_back(sv::rt::Ref::retain(app("a")));
    play({ "free 175" }); // no settings file: the threshold is 175
    notify_post(slv::darwin::KillTest);
    advance(1);
    EXPECT_EQ(timeline(), (Lines { "[0.000] posted norv.swr.kill.test", "[1.000] closed b",
                                        "[1.000] posted norv.swr.kill.app" }));
    ASSERT_EQ(susApp->size(), 1u);
    play({ "free 176" });
    advance(10);
    EXPECT_EQ(events.back(), "posted norv.swr.kill.test");
    EXPECT_EQ(susApp->size(), 1u);
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST_F(CloseTimerTest, RecheckWithNoSuspectsOnlyReadsTheProbe)
{
    int probes = 0;
    sv::kernel::setStatisticsProvider([&probes](sv::kernel::vm_statistics& statistics) {
        ++probes;
        statistics = {};
        return true;
    });
    finalTestToKillAgain(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST(LibraryClasses, HaveExactlyTheMethodsTheirNamesPromise)
{
    // Spelled out here on purpose: the library sends these by name, and a misspelt one would be
    // dropped without a sound.
    auto methods = [](Class cls) {
        std::set<std::string> names;
        unsigned int count = 0;
        Method* list = class_copyMethodList(cls, &count);
        for (unsigned int i = 0; i < count; ++i)
            names.insert(sel_getName(method_getName(list[i])));
        std::free(list);
        return names;
    };
    EXPECT_EQ(objc_getClass("Timer"), timerClass());
    EXPECT_EQ(methods(timerClass()), (std::set<std::string> { "startTimerWithApp:andBundleID:", "killAgains",
                                                              "seeIfSameAppOpens:", "killApp:", "finalTestToKill",
                                                              "dealloc" }));
    EXPECT_EQ(objc_getClass("WaitToCheckTimer"), waitToCheckTimerClass());
    EXPECT_EQ(methods(waitToCheckTimerClass()), (std::set<std::string> { "start", "finishTime", "dealloc" }));
}
