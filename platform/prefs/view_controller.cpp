#include "platform/prefs/view_controller.h"

#include "platform/foundation/make_set_up.h"
#include "platform/prefs/controller_registry.h"

#include <cmath>

namespace sv::prefs {

std::shared_ptr<PSViewController> PSViewController::initForContentSize(ui::Size size)
{
    return sv::makeSetUp(new PSViewController, &PSViewController::setUpForContentSize, size);
}

bool PSViewController::setUpForContentSize(ui::Size size)
{
    if (!setUp())
        return false;
    if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width <= 0 || size.height <= 0
        || size.width > 10000 || size.height > 10000)
        return false;
    setContentSize(size);
    return true;
}

std::string PSViewController::bundlePath() const
{
    return bundlePathOfClass(className());
}

} // namespace sv::prefs
