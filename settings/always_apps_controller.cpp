#include "settings/always_apps_controller.h"

std::shared_ptr<SLVAlwaysAppsController> SLVAlwaysAppsController::initForContentSize(sv::ui::Size size)
{
    std::shared_ptr<SLVAlwaysAppsController> self(new SLVAlwaysAppsController);
    return self->setUpForContentSize(size) ? self : nullptr;
}
