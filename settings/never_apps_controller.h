#pragma once
// The Never screen: picks the applications that are never closed.

#include "contract/settings_contract.h"
#include "settings/app_list_controller.h"

class SLVNeverAppsController : public SLVAppListScreen<SLVNeverAppsController> {
public:
    static constexpr SLVAppListDifferences kDifferences {
        .title = "Never Kill",
        .ownKey = slv::key::NeverIdentifiers,
        .conflictingKey = slv::key::AlwaysIdentifiers,
        .conflictMessage = "You already have this application set to always be killed!",
        .confirmationFormat = "Would you like to never have %@ killed?",
        .isCustom = false,
    };

private:
    friend SLVAppListScreen; // makes the screen
    SLVNeverAppsController() = default;
};
