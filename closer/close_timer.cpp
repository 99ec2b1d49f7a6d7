// Close timers and the memory re-check chain.
#include "closer/close_timer.h"

#include "closer/free_memory.h"
#include "closer/library_settings.h"
#include "closer/sleepwright.h"
#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"

namespace {

TimerState* timerState(id self)
{
    return sv::rt::state<TimerState>(self);
}

id startTimerWithApp(id self, SEL, id app, id bundleId)
{
    self = sv::rt::msgSendSuper<id>(timerClass(), self, "init");
    if (!self)
        return nullptr;
    TimerState* state = timerState(self);
    state->DoNotRun = false;
    if (!app)
        return self;

    sv::NotificationCenter::defaultCenter().addObserver(
        self, std::string(slv::local::TimerTester), [self](const sv::Notification& notification) {
            sv::rt::msgSend<void>(self, "seeIfSameAppOpens:", &notification);
        });
    state->KillAgain = false;
    if (const std::string* identifier = sv::rt::stringValue(bundleId))
        state->bundleID = *identifier;
    // The run loop keeps this object and its application alive until the timer has fired.
    state->mainTimer = sv::RunLoop::main().scheduleTimer(
        kCloseDelay, [target = sv::rt::Ref::retain(self), userInfo = sv::rt::Ref::retain(app)] {
            sv::rt::msgSend<void>(target.get(), "killApp:", static_cast<id>(nullptr));
        });
    return self;
}

void killAgains(id self, SEL)
{
    timerState(self)->KillAgain = true;
}

void seeIfSameAppOpens(id self, SEL, const sv::Notification* notification)
{
    TimerState* state = timerState(self);
    if (!notification || !state->bundleID || !notification->userInfo)
        return;
    const std::string* identifier = sv::findString(*notification->userInfo, slv::key::BundleID);
    if (identifier && *identifier == *state->bundleID)
        state->DoNotRun = true;
}

void killApp(id self, SEL, id)
{
    TimerState* state = timerState(self);
    state->mainTimer.reset();

    id switcher = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::AppSwitcherController),
                                      sv::home::sel::sharedInstance);
    id entries = sv::rt::msgSend<id>(switcher, sv::home::sel::applicationIconsExceptTopApp);
    if (const std::vector<sv::rt::Ref>* list = sv::rt::arrayElements(entries)) {
        // Closing changes the switcher; walk what it answered.
        std::vector<sv::rt::Ref> snapshot = *list;
        for (const sv::rt::Ref& entry : snapshot) {
            id icon = sv::rt::msgSend<id>(entry.get(), sv::home::sel::icon);
            id application = sv::rt::msgSend<id>(icon, sv::home::sel::application);
            const std::string* identifier
                = sv::rt::stringValue(sv::rt::msgSend<id>(application, sv::home::sel::displayIdentifier));
            if (!identifier)
                continue;
            if (state->bundleID && *identifier == *state->bundleID) {
                if (!state->DoNotRun)
                    sv::rt::msgSend<void>(switcher, sv::home::sel::iconCloseBoxTapped, entry.get());
                break;
            }
        }
    }

    state->bundleID.reset();
    if (state->KillAgain)
        sv::rt::msgSend<void>(self, "finalTestToKill");
}

void finalTestToKill(id, SEL)
{
    notify_post(slv::darwin::KillApp);
}

void timerDealloc(id self, SEL)
{
    sv::NotificationCenter::defaultCenter().removeObserver(self, slv::local::TimerTester);
    if (TimerState* state = timerState(self)) {
        state->mainTimer.reset();
        state->bundleID.reset();
    }
    sv::rt::msgSendSuper<void>(timerClass(), self, "dealloc");
}

id waitStart(id self, SEL)
{
    self = sv::rt::msgSendSuper<id>(waitToCheckTimerClass(), self, "init");
    if (!self)
        return nullptr;
    sv::RunLoop::main().scheduleTimer(kRecheckDelay, [target = sv::rt::Ref::retain(self)] {
        sv::rt::msgSend<void>(target.get(), "finishTime");
    });
    return self;
}

void finishTime(id, SEL)
{
    notify_post(slv::darwin::KillTest);
}

void waitDealloc(id self, SEL)
{
    sv::rt::msgSendSuper<void>(waitToCheckTimerClass(), self, "dealloc");
}

} // namespace

Class timerClass()
{
    static Class cls = sv::rt::ClassBuilder("Timer")
                           .state<TimerState>()
                           .method("startTimerWithApp:andBundleID:", &startTimerWithApp)
                           .method("killAgains", &killAgains)
                           .method("seeIfSameAppOpens:", &seeIfSameAppOpens)
                           .method("killApp:", &killApp)
                           .method("finalTestToKill", &finalTestToKill)
                           .method("dealloc", &timerDealloc)
                           .registerClass();
    return cls;
}

Class waitToCheckTimerClass()
{
    static Class cls = sv::rt::ClassBuilder("WaitToCheckTimer")
                           .method("start", &waitStart)
                           .method("finishTime", &finishTime)
                           .method("dealloc", &waitDealloc)
                           .registerClass();
    return cls;
}

void runTimer(id app, id bundleId, bool killAgain)
{
    const std::string* identifier = sv::rt::stringValue(bundleId);
    if (!identifier)
        return;
    // Delivered synchronously: every live Timer has heard it before the post returns.
    sv::NotificationCenter::defaultCenter().post(
        slv::local::TimerTester, nullptr,
        sv::Dictionary { { std::string(slv::key::BundleID), sv::Value(*identifier) } });
    if (!app)
        return;
    id timer = sv::rt::msgSend<id>(sv::rt::alloc(timerClass()), "startTimerWithApp:andBundleID:", app, bundleId);
    if (killAgain)
        sv::rt::msgSend<void>(timer, "killAgains");
    sv::rt::release(timer);
}

void testToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    id wait = sv::rt::msgSend<id>(sv::rt::alloc(waitToCheckTimerClass()), "start");
    sv::rt::release(wait);
}

void finalTestToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    std::int32_t threshold = thresholdFrom(readLibrarySettings());
    std::int32_t freeMemory = leadingInteger(getFreeMemory());
    if (!susApp || susApp->empty())
        return;
    if (freeMemory > threshold)
        return;
    sv::rt::Ref oldest = susApp->front();
    runTimer(oldest.get(), sv::rt::msgSend<id>(oldest.get(), sv::home::sel::bundleIdentifier), true);
    susApp->erase(susApp->begin());
}
