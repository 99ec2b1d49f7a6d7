#pragma once
// The Never screen: picks the applications that are never closed.

#include "contract/settings_contract.h"
#include "settings/app_list_controller.h"

class SLVNeverAppsController : public SLVAppListController {
public:
    static constexpr SLVAppListDifferences kDifferences {
        .title = "Never Kill",
        .ownKey = slv::key::NeverIdentifiers,
        .conflictingKey = slv::key::AlwaysIdentifiers,
        .conflictMessage = "You already have this application set to always be killed!",
        .confirmationFormat = "Would you like to never have %@ killed?",
        .isCustom = false,
    };

    // Null when the base initialiser gives nothing (the catalogue was asked for all the same).
    static std::shared_ptr<SLVNeverAppsController> initForContentSize(sv::ui::Size size);

    // Pops the Settings application's screens while the top one is a Never screen.
    static void popAllControllers() { popAllOf<SLVNeverAppsController>(); }

protected:
    SLVNeverAppsController() : SLVAppListController(kDifferences) { }
};
