#include "settings/never_apps_controller.h"

#include "platform/foundation/make_set_up.h"

std::shared_ptr<SLVNeverAppsController> SLVNeverAppsController::initForContentSize(sv::ui::Size size)
{
    return sv::makeSetUp(new SLVNeverAppsController, &SLVNeverAppsController::setUpForContentSize, size);
}
