#include "platform/ui/application.h"

#include "platform/foundation/notification_center.h"

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

} // namespace sv::ui
