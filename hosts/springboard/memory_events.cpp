// The events a picture of the run is drawn from: what the kernel reports as free, the threshold
// the library would compare it with, Close Every App, and the telephone.
#include "contract/settings_contract.h"
#include "contract/threshold.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"

#include <cstdio>

namespace sb {
namespace {

    struct Reported {
        std::optional<double> freeMB;
        std::optional<std::int64_t> threshold;
        bool closeEveryApp = false; // off from the start goes without saying
        Call call = Call::None;
    };

    const char* callName(Call call)
    {
        switch (call) {
        case Call::Active: return "active";
        case Call::Incoming: return "incoming";
        case Call::Outgoing: return "outgoing";
        case Call::None: break;
        }
        return "none";
    }

    void reportChanges(Reported& reported)
    {
        const Device& device = Device::shared();
        const Springboard& home = Springboard::shared();
        char text[64];
        if (double free = device.freeMB(); reported.freeMB != free) {
            reported.freeMB = free;
            std::snprintf(text, sizeof text, "free %g", free);
            home.event(text);
        }
        // Read as the library and the pane read them.
        auto settings = slv::settingsSnapshot();
        if (std::int64_t value = slv::threshold(settings.get()); reported.threshold != value) {
            reported.threshold = value;
            home.event("threshold " + std::to_string(value));
        }
        if (bool on = slv::closeEveryApp(settings.get()); reported.closeEveryApp != on) {
            reported.closeEveryApp = on;
            home.event(on ? "alwaysKill on" : "alwaysKill off");
        }
        if (reported.call != device.call()) {
            reported.call = device.call();
            home.event(std::string("call ") + callName(reported.call));
        }
    }

} // namespace

void startMemoryEvents(sv::host::Scenario& scenario)
{
    auto reported = std::make_shared<Reported>();
    auto check = [reported] { reportChanges(*reported); };
    scenario.setAfterCommand(check);
    Device::shared().setChangeObserver(check);
}

} // namespace sb
