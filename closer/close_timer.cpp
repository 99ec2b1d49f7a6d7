// Close timers, and the wait of the memory re-check chain.
#include "closer/close_timer.h"

#include "closer/close_history.h"
#include "closer/diary.h"
#include "closer/exemptions.h"
#include "closer/free_memory.h"
#include "closer/held_back.h"
#include "closer/library_settings.h"
#include "closer/selectors.h"
#include "closer/usage.h"
#include "contract/home_screen.h"
#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/notify/darwin_notify.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"

#include <optional>
#include <utility>

RecheckChain& recheckChain()
{
    static RecheckChain state;
    return state;
}

namespace {

RecheckChain& chain()
{
    return recheckChain();
}

void stopCountingAsPending(TimerState* state)
{
    if (state && state->chainClosePending) {
        state->chainClosePending = false;
        --chain().pendingCloses;
    }
}

TimerState* timerState(id self)
{
    return sv::rt::state<TimerState>(self);
}

id startTimerWithApp(id self, SEL, id app, id bundleId)
{
    self = sv::rt::msgSendSuper<id>(timerClass(), self, swr::sel::init);
    if (!self)
        return nullptr;
    TimerState* state = timerState(self);
    state->DoNotRun = false;
    if (!app)
        return self;

    sv::NotificationCenter::defaultCenter().addObserver(
        self, std::string(slv::local::TimerTester), [self](const sv::Notification& notification) {
            sv::rt::msgSend<void>(self, swr::sel::seeIfSameAppOpens, &notification);
        });
    state->KillAgain = false;
    if (const std::string* identifier = sv::rt::stringValue(bundleId))
        state->bundleID = *identifier;
    // The run loop keeps this object alive until the timer has fired, and this object its
    // application, until then or, should a call hold the firing, until the call's end.
    state->application = sv::rt::Ref::retain(app);
    state->mainTimer = sv::RunLoop::main().scheduleTimer(kCloseDelay, [target = sv::rt::Ref::retain(self)] {
        sv::rt::msgSend<void>(target.get(), swr::sel::killApp, static_cast<id>(nullptr));
    });
    return self;
}

void killAgains(id self, SEL)
{
    TimerState* state = timerState(self);
    state->KillAgain = true;
    // Only a scheduled close is pending.
    if (state->mainTimer && !state->chainClosePending) {
        state->chainClosePending = true;
        ++chain().pendingCloses;
    }
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
    // Nothing is closed during a call: the firing waits for its end.
    if (callInProgress()) {
        HeldBack::holdClose(self);
        return;
    }
    stopCountingAsPending(state);
    state->application.reset();
    // A save may have put it on the Never list since the decision: then nothing is closed, but
    // the chain goes on as after a close called off. The diary's note of the close asks the same
    // file for its switch.
    OneSettingsRead oneRead;
    LibrarySettings settings = readLibrarySettings();
    bool neverListed = state->bundleID && settings
        && slv::listContains(sv::findArray(*settings, slv::key::NeverIdentifiers), *state->bundleID);

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
                if (!state->DoNotRun && !neverListed) {
                    std::int32_t freeBefore = freeMebibytes();
                    sv::rt::msgSend<void>(switcher, sv::home::sel::iconCloseBoxTapped, entry.get());
                    CloseHistory::shared().recordClose(*state->bundleID, state->reason.text, state->reason.freeMemory);
                    Usage::shared().noteClose(*state->bundleID);
                    if (slv::learnFromUse(settings.get()))
                        Usage::shared().noteFreed(*state->bundleID, freeBefore, freeMebibytes());
                    Diary::shared().noteClose(*state->bundleID, state->reason.text);
                }
                break;
            }
        }
    }

    state->bundleID.reset();
    if (state->KillAgain)
        sv::rt::msgSend<void>(self, swr::sel::finalTestToKill);
}

void finalTestToKill(id, SEL)
{
    chain().awaitingRecheck = true;
    notify_post(slv::darwin::KillApp);
}

void timerDealloc(id self, SEL)
{
    sv::NotificationCenter::defaultCenter().removeObserver(self, slv::local::TimerTester);
    if (TimerState* state = timerState(self)) {
        stopCountingAsPending(state);
        state->mainTimer.reset();
        state->bundleID.reset();
        state->application.reset();
    }
    sv::rt::msgSendSuper<void>(timerClass(), self, swr::sel::dealloc);
}

id waitStart(id self, SEL)
{
    self = sv::rt::msgSendSuper<id>(waitToCheckTimerClass(), self, swr::sel::init);
    if (!self)
        return nullptr;
    chain().wait = sv::RunLoop::main().scheduleTimer(kRecheckDelay, [target = sv::rt::Ref::retain(self)] {
        sv::rt::msgSend<void>(target.get(), swr::sel::finishTime);
    });
    return self;
}

void finishTime(id, SEL)
{
    chain().wait.reset();
    notify_post(slv::darwin::KillTest);
}

void waitDealloc(id self, SEL)
{
    sv::rt::msgSendSuper<void>(waitToCheckTimerClass(), self, swr::sel::dealloc);
}

} // namespace

Class timerClass()
{
    static Class cls = sv::rt::ClassBuilder(swr::cls::Timer)
                           .state<TimerState>()
                           .method(swr::sel::startTimerWithApp, &startTimerWithApp)
                           .method(swr::sel::killAgains, &killAgains)
                           .method(swr::sel::seeIfSameAppOpens, &seeIfSameAppOpens)
                           .method(swr::sel::killApp, &killApp)
                           .method(swr::sel::finalTestToKill, &finalTestToKill)
                           .method(swr::sel::dealloc, &timerDealloc)
                           .registerClass();
    return cls;
}

Class waitToCheckTimerClass()
{
    static Class cls = sv::rt::ClassBuilder(swr::cls::WaitToCheckTimer)
                           .method(swr::sel::start, &waitStart)
                           .method(swr::sel::finishTime, &finishTime)
                           .method(swr::sel::dealloc, &waitDealloc)
                           .registerClass();
    return cls;
}

void runTimer(id app, id bundleId, bool killAgain, CloseReason reason)
{
    const std::string* identifier = sv::rt::stringValue(bundleId);
    if (!identifier)
        return;
    // A close scheduled now replaces whatever a call held back for the application.
    if (app)
        HeldBack::forget(app);
    // Delivered synchronously: every live Timer has heard it before the post returns.
    sv::NotificationCenter::defaultCenter().post(
        slv::local::TimerTester, nullptr,
        sv::Dictionary { { std::string(slv::key::BundleID), sv::Value(*identifier) } });
    if (!app)
        return;
    id timer = sv::rt::msgSend<id>(sv::rt::alloc(timerClass()), swr::sel::startTimerWithApp, app, bundleId);
    if (killAgain)
        sv::rt::msgSend<void>(timer, swr::sel::killAgains);
    if (TimerState* state = timerState(timer))
        state->reason = reason;
    sv::rt::release(timer);
}

HeldClose retireHeldClose(id timer)
{
    TimerState* state = timerState(timer);
    if (!state)
        return {};
    stopCountingAsPending(state);
    HeldClose held { std::exchange(state->application, {}), state->KillAgain };
    if (state->DoNotRun)
        held.application.reset();
    state->bundleID.reset();
    return held;
}

void resetRecheckChain()
{
    chain() = RecheckChain {};
}
