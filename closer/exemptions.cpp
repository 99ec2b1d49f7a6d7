#include "closer/exemptions.h"

#include "closer/close_timer.h"
#include "closer/sleepwright.h"
#include "contract/settings_contract.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <array>

namespace {

bool ask(id receiver, const char* question)
{
    return sv::rt::msgSend<bool>(receiver, question);
}

} // namespace

bool callInProgress()
{
    id telephony = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::TelephonyManager),
                                       sv::home::sel::sharedTelephonyManager);
    return ask(telephony, sv::home::sel::inCall) || ask(telephony, sv::home::sel::incomingCallExists)
        || ask(telephony, sv::home::sel::outgoingCallExists);
}

bool isFixedNeverClosed(std::string_view bundleID)
{
    constexpr std::array<std::string_view, 3> kFixed = { "com.apple.springboard", "com.apple.mobilephone",
                                                         "com.apple.AdSheetPhone" };
    for (std::string_view fixed : kFixed)
        if (bundleID == fixed)
            return true;
    return false;
}

bool closeOldestSuspect(const sv::Dictionary* settings, CloseReason reason)
{
    if (!susApp)
        return false;
    const sv::Array* never = settings ? sv::findArray(*settings, slv::key::NeverIdentifiers) : nullptr;
    for (auto it = susApp->begin(); it != susApp->end();) {
        id identifier = sv::rt::msgSend<id>(it->get(), sv::home::sel::bundleIdentifier);
        const std::string* text = sv::rt::stringValue(identifier);
        if (text && isFixedNeverClosed(*text)) {
            ++it;
            continue;
        }
        // The switcher is searched by identifier: a suspect without one could never be closed.
        if (!text || slv::listContains(never, *text)) {
            it = susApp->erase(it);
            continue;
        }
        // Out of the list before the timer starts: the list holds the only other reference.
        sv::rt::Ref oldest = std::move(*it);
        susApp->erase(it);
        runTimer(oldest.get(), identifier, true, reason);
        return true;
    }
    return false;
}
