#include "closer/sus_app.h"

#include "closer/exemptions.h"
#include "closer/usage.h"
#include "contract/home_screen.h"
#include "contract/settings_contract.h"
#include "platform/runtime/foundation_objects.h"

#include <optional>

std::unique_ptr<SuspectList> susApp;

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
