#pragma once
// The Always screen: picks the applications that are always closed.

#include "contract/settings_contract.h"
#include "settings/app_list_controller.h"

class SLVAlwaysAppsController : public SLVAppListScreen<SLVAlwaysAppsController> {
public:
    static constexpr SLVAppListDifferences kDifferences {
        .title = "Always Kill",
        .ownKey = slv::key::AlwaysIdentifiers,
        .conflictingKey = slv::key::NeverIdentifiers,
        .conflictMessage = "You already have this application set to never be killed!",
        .confirmationFormat = "Would you like to always have %@ killed?",
        .isCustom = true,
    };

private:
    friend SLVAppListScreen; // makes the screen
    SLVAlwaysAppsController() = default;
};
