#pragma once
// The Always screen: picks the applications that are always closed.

#include "contract/settings_contract.h"
#include "settings/app_list_controller.h"

class SLVAlwaysAppsController : public SLVAppListController {
public:
    static constexpr SLVAppListDifferences kDifferences {
        .title = "Always Kill",
        .ownKey = slv::key::AlwaysIdentifiers,
        .conflictingKey = slv::key::NeverIdentifiers,
        .conflictMessage = "You already have this application set to never be killed!",
        .confirmationFormat = "Would you like to always have %@ killed?",
        .isCustom = true,
    };

    // Null when the base initialiser gives nothing (the catalogue was asked for all the same).
    static std::shared_ptr<SLVAlwaysAppsController> initForContentSize(sv::ui::Size size);

    // Pops the Settings application's screens while the top one is an Always screen.
    static void popAllControllers() { popAllOf<SLVAlwaysAppsController>(); }

protected:
    SLVAlwaysAppsController() : SLVAppListController(kDifferences) { }
};
