// The events a picture of the run is drawn from: what the kernel reports as free, the threshold
// the library would compare it with, the switches as it reads them, and the telephone.
#include "contract/settings_contract.h"
#include "contract/threshold.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"

#include <cstdio>
#include <tuple>

namespace sb {
namespace {

    struct Reported {
        std::optional<double> freeMB;
        std::optional<std::int64_t> threshold;
        // Off until told otherwise: a run that never turns a switch on reports none.
        bool alwaysKill = false;
        bool learnFromUse = false;
        Call call = Call::None;
    };

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
        // The threshold and switches the library and the pane read.
        auto settings = slv::settingsSnapshot();
        if (std::int64_t value = slv::threshold(settings.get()); reported.threshold != value) {
            reported.threshold = value;
            home.event("threshold " + std::to_string(value));
        }
        for (auto [name, key, on] : { std::tuple { "alwaysKill", slv::key::AlwaysKill, &reported.alwaysKill },
                                      std::tuple { "learnFromUse", slv::key::LearnFromUse, &reported.learnFromUse } })
            if (bool now = slv::switchOn(settings.get(), key); *on != now) {
                *on = now;
                home.event(std::string(name) + (now ? " on" : " off"));
            }
        if (reported.call != device.call()) {
            reported.call = device.call();
            home.event(std::string("call ") + kCallWords[static_cast<int>(reported.call)]);
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
