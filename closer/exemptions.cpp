#include "closer/exemptions.h"

#include "closer/selectors.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <array>

bool callInProgress()
{
    id telephony = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::TelephonyManager),
                                       sv::home::sel::sharedTelephonyManager);
    return swr::ask(telephony, sv::home::sel::inCall) || swr::ask(telephony, sv::home::sel::incomingCallExists)
        || swr::ask(telephony, sv::home::sel::outgoingCallExists);
}

bool isFixedNeverClosed(std::string_view bundleID)
{
    // model/ lists them again, on its own, for the referee.
    constexpr std::array<std::string_view, 3> kFixed = { sv::home::kBundleIdentifier, "com.apple.mobilephone",
                                                         "com.apple.AdSheetPhone" };
    for (std::string_view fixed : kFixed)
        if (bundleID == fixed)
            return true;
    return false;
}
