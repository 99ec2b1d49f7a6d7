#include "closer/sus_app.h"

#include "closer/exemptions.h"
#include "closer/usage.h"
#include "contract/home_screen.h"
#include "contract/settings_contract.h"
#include "platform/runtime/foundation_objects.h"

#include <optional>
#include <string>
#include <vector>

std::unique_ptr<SuspectList> susApp;

namespace {

// Learn From Use: of the suspects that may be closed, the one its rule picks (closer/usage.h).
// Every suspect that can never be closed leaves the list on the way.
bool closeLeastLikelySuspect(const sv::Array* never, CloseReason reason)
{
    std::vector<std::size_t> at;
    std::vector<std::string> closable;
    for (std::size_t i = 0; i < susApp->size();) {
        const std::string* text
            = sv::rt::stringValue(sv::rt::msgSend<id>((*susApp)[i].get(), sv::home::sel::bundleIdentifier));
        if (!text || slv::listContains(never, *text)) {
            susApp->erase(susApp->begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (!isFixedNeverClosed(*text)) {
            at.push_back(i);
            closable.push_back(*text);
        }
        ++i;
    }
    std::optional<std::size_t> chosen = Usage::shared().pick(closable);
    if (!chosen)
        return false;
    auto place = susApp->begin() + static_cast<std::ptrdiff_t>(at[*chosen]);
    sv::rt::Ref application = std::move(*place);
    susApp->erase(place);
    runTimer(application.get(), sv::rt::msgSend<id>(application.get(), sv::home::sel::bundleIdentifier), true, reason);
    return true;
}

} // namespace

bool closeNextSuspect(const sv::Dictionary* settings, CloseReason reason)
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
