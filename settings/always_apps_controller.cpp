#include "settings/always_apps_controller.h"

#include "platform/foundation/make_set_up.h"

std::shared_ptr<SLVAlwaysAppsController> SLVAlwaysAppsController::initForContentSize(sv::ui::Size size)
{
    return sv::makeSetUp(new SLVAlwaysAppsController, &SLVAlwaysAppsController::setUpForContentSize, size);
}
