#include "settings/never_apps_controller.h"

std::shared_ptr<SLVNeverAppsController> SLVNeverAppsController::initForContentSize(sv::ui::Size size)
{
    std::shared_ptr<SLVNeverAppsController> self(new SLVNeverAppsController);
    return self->setUpForContentSize(size) ? self : nullptr;
}
