// The replacement state-change handler: keeps the suspect list, decides which application to
// close, and always hands the call on to the home screen's own handler.
#include "closer/app_launch.h"

#include "closer/close_history.h"
#include "closer/close_timer.h"
#include "closer/diary.h"
#include "closer/exemptions.h"
#include "closer/free_memory.h"
#include "closer/held_back.h"
#include "closer/library_settings.h"
#include "closer/recheck_chain.h"
#include "closer/selectors.h"
#include "closer/sus_app.h"
#include "closer/usage.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

bool listed(const LibrarySettings& settings, std::string_view listKey, const std::string* identifier)
{
    return identifier && settings && slv::listContains(sv::findArray(*settings, listKey), *identifier);
}

void removeSuspect(id application)
{
    std::erase(*susApp, application);
}

using swr::ask;

// Whether a backgrounded application does none of the work it declared it may go on doing.
// noTaskAssertions is set for a process that cannot hold background tasks at all.
bool idleInBackground(id application, bool& noTaskAssertions)
{
    id process = sv::rt::msgSend<id>(application, sv::home::sel::process);
    if (!ask(process, sv::home::sel::supportsBackgroundTaskAssertions)) {
        noTaskAssertions = true;
        return false;
    }
    // Without background audio it is spared: the opposite sense of the questions after it.
    if (!ask(application, sv::home::sel::supportsAudioBackgroundMode))
        return false;
    return !ask(application, sv::home::sel::supportsLocationBackgroundMode)
        && !ask(application, sv::home::sel::supportsVOIPBackgroundMode)
        && !ask(process, sv::home::sel::isNowPlayingWithAudio) && !ask(process, sv::home::sel::isRecordingAudio)
        && !ask(process, sv::home::sel::usesSocketMonitoring)
        && !ask(process, sv::home::sel::hasWatchdogAssertionsOut);
}

// The close path of an application that left the foreground, once no call holds it back. Without
// lowMemoryStep it stops short of comparing free memory. True when it compared.
bool closePath(id application, const LibrarySettings& settings, bool lowMemoryStep = true)
{
    sv::rt::Ref identifierRef = sv::rt::Ref::retain(sv::rt::msgSend<id>(application, sv::home::sel::bundleIdentifier));
    const std::string* identifier = sv::rt::stringValue(identifierRef.get());
    if (!identifier)
        return false;
    if (listed(settings, slv::key::NeverIdentifiers, identifier)) {
        removeSuspect(application);
        return false;
    }
    if (isFixedNeverClosed(*identifier))
        return false;

    std::int32_t ramValue = thresholdFrom(settings);
    bool inAlwaysList = listed(settings, slv::key::AlwaysIdentifiers, identifier);
    bool alwaysKill = slv::closeEveryApp(settings.get());

    if (inAlwaysList || alwaysKill) {
        runTimer(application, identifierRef.get(), false,
                 { inAlwaysList ? slv::history::reason::AlwaysList : slv::history::reason::CloseEveryApp, {} });
        removeSuspect(application);
        return false;
    }
    if (!lowMemoryStep)
        return false;
    std::int32_t freeMemory = freeMebibytes();
    CloseReason lowMemory { slv::history::reason::LowMemory, freeMemory };
    if (susApp->size() <= 1) {
        if (freeMemory <= ramValue) {
            runTimer(application, identifierRef.get(), false, lowMemory);
            removeSuspect(application);
        }
        return true;
    }
    // The oldest suspect that may be closed, which may be this application.
    if (freeMemory <= ramValue)
        closeNextSuspect(settings.get(), lowMemory);
    return true;
}

void decide(id application, int state)
{
    // A null application would be a hole in the list; it takes part in nothing.
    if (application && std::find(susApp->begin(), susApp->end(), application) == susApp->end())
        susApp->push_back(sv::rt::Ref::retain(application));
    if (state == sv::home::state::Foreground) {
        // Back in front: nothing held back for it during a call stands either.
        HeldBack::forget(application);
        id bundleIdentifier = sv::rt::msgSend<id>(application, sv::home::sel::bundleIdentifier);
        runTimer(nullptr, bundleIdentifier, false);
        removeSuspect(application);
        if (const std::string* identifier = sv::rt::stringValue(bundleIdentifier)) {
            CloseHistory::shared().noteForeground(*identifier);
            if (slv::learnFromUse(readLibrarySettings().get()))
                Usage::shared().noteForeground(*identifier);
            else
                Usage::shared().noteForegroundUnlearned(*identifier);
        }
    }
    // Left: straight to the close path. In the background: only when it does nothing there that
    // it declared, or cannot hold background tasks at all; else it is spared.
    bool closePathNext = state == sv::home::state::Left;
    if (state == sv::home::state::Background) {
        bool noTaskAssertions = false;
        bool keepAlive = !idleInBackground(application, noTaskAssertions);
        if (keepAlive)
            removeSuspect(application);
        closePathNext = noTaskAssertions || !keepAlive;
    }
    if (!closePathNext)
        return;

    // Nothing is closed during a call; the decision is made when it ends.
    if (callInProgress()) {
        HeldBack::holdDecision(application);
        return;
    }
    // One read of the settings file serves the lists and the threshold.
    closePath(application, readLibrarySettings());
}

} // namespace

void resumeAfterCall()
{
    if (!susApp || callInProgress())
        return;
    // Everything the call held is decided with the settings file of this one moment.
    OneSettingsRead oneRead;
    HeldBack::Work held = HeldBack::takeClosesAndRecheck();
    bool chainHeld = held.recheck;
    // A close that fell due is decided again, first of all; its application, taken off the
    // suspect list for it, rejoins it at the front, where the oldest is.
    for (auto timer = held.closes.rbegin(); timer != held.closes.rend(); ++timer) {
        HeldClose close = retireHeldClose(timer->get());
        chainHeld = chainHeld || close.killAgain;
        if (!close.application)
            continue;
        if (std::find(susApp->begin(), susApp->end(), close.application.get()) == susApp->end())
            susApp->insert(susApp->begin(), close.application);
        HeldBack::holdDecisionFirst(close.application.get());
    }
    // Low memory is compared once for all of them, by the first to get that far: one close of the
    // suspect the rules pick, and the chain measures afresh after it.
    bool compared = false;
    while (sv::rt::Ref application = HeldBack::takeNextDecision())
        compared = closePath(application.get(), readLibrarySettings(), !compared) || compared;
    if (chainHeld && !compared)
        resumeRecheckAfterCall();
}

void Sleepwarden_appLaunch(id self, SEL, id application, int state)
{
    // Keeps the application valid until the home screen's handler has returned.
    sv::rt::Ref keep = sv::rt::Ref::retain(application);
    if (susApp) {
        OneSettingsRead oneRead;
        Diary::shared().noteStateChange(application, state);
        decide(application, state);
    }
    static const std::string homeScreenHandler = swr::renamedSelector(sv::home::sel::applicationStateChanged);
    sv::rt::msgSend<void>(self, homeScreenHandler.c_str(), application, state);
}
