#include "closer/recheck_chain.h"

#include "closer/close_timer.h"
#include "closer/exemptions.h"
#include "closer/free_memory.h"
#include "closer/held_back.h"
#include "closer/library_settings.h"
#include "closer/selectors.h"
#include "closer/sus_app.h"
#include "contract/history_file.h"

#include <utility>

void testToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    if (auto pending = std::exchange(recheckChain().wait, std::nullopt))
        sv::RunLoop::main().cancelTimer(*pending);
    id wait = sv::rt::msgSend<id>(sv::rt::alloc(waitToCheckTimerClass()), swr::sel::start);
    sv::rt::release(wait);
}

void finalTestToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    recheckChain().awaitingRecheck = false;
    recheckMemory();
}

void recheckMemory()
{
    auto settings = readLibrarySettings();
    std::int32_t threshold = thresholdFrom(settings);
    std::int32_t freeMemory = freeMebibytes();
    if (!susApp || susApp->empty())
        return;
    if (freeMemory > threshold)
        return;
    if (recheckChain().pendingCloses > 0)
        return;
    if (callInProgress()) {
        HeldBack::holdRecheck();
        return;
    }
    closeNextSuspect(settings.get(), { slv::history::reason::LowMemory, freeMemory });
}

void resumeRecheckAfterCall()
{
    if (!recheckChain().awaitingRecheck)
        recheckMemory();
}
