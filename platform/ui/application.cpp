#include "platform/ui/application.h"

#include "platform/foundation/notification_center.h"
#include "platform/ui/alert_panel.h"

#include <algorithm>

namespace sv::ui {

UIApplication& UIApplication::sharedApplication()
{
    static UIApplication application;
    return application;
}

void UIApplication::resignActive()
{
    NotificationCenter::defaultCenter().post(UIApplicationWillResignActiveNotification, this);
}

void UIApplication::enterBackground()
{
    NotificationCenter::defaultCenter().post(UIApplicationDidEnterBackgroundNotification, this);
}

void UIApplication::alertShown(std::shared_ptr<AlertPanel> panel)
{
    if (panel && std::find(alerts_.begin(), alerts_.end(), panel) == alerts_.end())
        alerts_.push_back(std::move(panel));
}

void UIApplication::alertDismissed(const AlertPanel* panel)
{
    // The panel may be the last holder of what erasing it releases: let go after erasing.
    std::shared_ptr<AlertPanel> keep;
    auto found = std::find_if(alerts_.begin(), alerts_.end(), [panel](const auto& p) { return p.get() == panel; });
    if (found == alerts_.end())
        return;
    keep = std::move(*found);
    alerts_.erase(found);
}

void UIApplication::dismissAllAlerts()
{
    auto panels = alerts_;
    for (auto& panel : panels)
        panel->dismissWithClickedButtonIndex(panel->cancelButtonIndex(), false);
    alerts_.clear();
}

} // namespace sv::ui
