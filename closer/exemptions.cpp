#include "closer/exemptions.h"

#include "closer/close_timer.h"
#include "closer/sleepwright.h"
#include "closer/usage.h"
#include "contract/settings_contract.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <array>
#include <optional>

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

namespace {

// Learn From Use: of the suspects that may be closed, the one least likely to come back (ties:
// the oldest). Every suspect that can never be closed leaves the list on the way.
bool closeLeastLikelySuspect(const sv::Array* never, CloseReason reason)
{
    std::optional<std::size_t> chosen;
    double lowest = 0;
    for (std::size_t i = 0; i < susApp->size();) {
        const std::string* text
            = sv::rt::stringValue(sv::rt::msgSend<id>((*susApp)[i].get(), sv::home::sel::bundleIdentifier));
        if (!text || slv::listContains(never, *text)) {
            susApp->erase(susApp->begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (!isFixedNeverClosed(*text)) {
            double likelihood = Usage::shared().likelihood(*text);
            if (!chosen || likelihood < lowest) {
                chosen = i;
                lowest = likelihood;
            }
        }
        ++i;
    }
    if (!chosen)
        return false;
    sv::rt::Ref application = std::move((*susApp)[*chosen]);
    susApp->erase(susApp->begin() + static_cast<std::ptrdiff_t>(*chosen));
    runTimer(application.get(), sv::rt::msgSend<id>(application.get(), sv::home::sel::bundleIdentifier), true, reason);
    return true;
}

} // namespace

bool closeOldestSuspect(const sv::Dictionary* settings, CloseReason reason)
{
    if (!susApp)
        return false;
    const sv::Array* never = settings ? sv::findArray(*settings, slv::key::NeverIdentifiers) : nullptr;
    if (slv::learnFromUse(settings))
        return closeLeastLikelySuspect(never, reason);
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
