// The replacement state-change handler: keeps the suspect list, decides which application to
// close, and always hands the call on to the home screen's own handler.
#include "closer/close_history.h"
#include "closer/close_timer.h"
#include "closer/exemptions.h"
#include "closer/free_memory.h"
#include "closer/library_settings.h"
#include "closer/selectors.h"
#include "closer/sleepwright.h"
#include "platform/home_screen.h"
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

bool ask(id receiver, const char* question)
{
    return sv::rt::msgSend<bool>(receiver, question);
}

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

void decide(id application, int state)
{
    bool inAlwaysList = false;
    bool noTaskAssertions = false;
    bool keepAlive = true;
    bool inNeverList = false;

    // A null application would be a hole in the list; it takes part in nothing.
    if (application && std::find(susApp->begin(), susApp->end(), application) == susApp->end())
        susApp->push_back(sv::rt::Ref::retain(application));

    // One read of the settings file serves the always list, the never list and the threshold:
    // the answers three reads would give, unless the file is replaced within this very call.
    LibrarySettings settings = readLibrarySettings();
    id bundleIdentifier = sv::rt::msgSend<id>(application, sv::home::sel::bundleIdentifier);
    inAlwaysList = listed(settings, slv::key::AlwaysIdentifiers, sv::rt::stringValue(bundleIdentifier));

    if (state == 4) {
        runTimer(nullptr, bundleIdentifier, false);
        removeSuspect(application);
        if (const std::string* identifier = sv::rt::stringValue(bundleIdentifier))
            CloseHistory::shared().noteForeground(*identifier);
    }
    if (state == 3) {
        if (idleInBackground(application, noTaskAssertions))
            keepAlive = false;
        if (keepAlive)
            removeSuspect(application);
    }
    if (state != 2 && !noTaskAssertions && keepAlive)
        return;

    if (callInProgress())
        return;
    sv::rt::Ref identifierRef = sv::rt::Ref::retain(sv::rt::msgSend<id>(application, sv::home::sel::bundleIdentifier));
    const std::string* identifier = sv::rt::stringValue(identifierRef.get());
    if (!identifier)
        return;
    if (listed(settings, slv::key::NeverIdentifiers, identifier)) {
        inNeverList = true;
        removeSuspect(application);
    }
    if (inNeverList || isFixedNeverClosed(*identifier))
        return;

    std::int32_t ramValue = thresholdFrom(settings);
    bool alwaysKill = settings && sv::findBool(*settings, slv::key::AlwaysKill, false);

    if (inAlwaysList || alwaysKill) {
        runTimer(application, identifierRef.get(), false,
                 { inAlwaysList ? slv::history::reason::AlwaysList : slv::history::reason::CloseEveryApp, {} });
        removeSuspect(application);
        return;
    }
    std::int32_t freeMemory = freeMebibytes();
    CloseReason lowMemory { slv::history::reason::LowMemory, freeMemory };
    if (susApp->size() <= 1) {
        if (freeMemory <= ramValue) {
            runTimer(application, identifierRef.get(), false, lowMemory);
            removeSuspect(application);
        }
        return;
    }
    // The oldest suspect that may be closed, which may be this application.
    if (freeMemory <= ramValue)
        closeOldestSuspect(settings.get(), lowMemory);
}

} // namespace

void Sleepwarden_appLaunch(id self, SEL, id application, int state)
{
    // Keeps the application valid until the home screen's handler has returned.
    sv::rt::Ref keep = sv::rt::Ref::retain(application);
    if (susApp)
        decide(application, state);
    static const std::string homeScreenHandler = swr::renamedSelector(sv::home::sel::applicationStateChanged);
    sv::rt::msgSend<void>(self, homeScreenHandler.c_str(), application, state);
}
