#include "settings/pane_start.h"

#include "contract/settings_contract.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/prefs/controller_registry.h"
#include "platform/runtime/class_name.h"
#include "platform/ui/application.h"
#include "settings/always_apps_controller.h"
#include "settings/app_delegate.h"
#include "settings/never_apps_controller.h"
#include "settings/recently_closed_controller.h"

#include <string>
#include <string_view>
#include <typeinfo>

namespace {
// The notification centre's token for the class itself (observers need no instance).
constexpr char kClassObserver = 0;

template <class Controller>
void registerClass()
{
    sv::prefs::registerControllerClass(std::string(sv::rt::classNameOf(typeid(Controller))),
                                       [](sv::ui::Size size) -> std::shared_ptr<sv::prefs::PSViewController> {
                                           return Controller::initForContentSize(size);
                                       });
}
}

void registerSettingsClasses()
{
    registerClass<SLVAppDelegate>();
    registerClass<SLVNeverAppsController>();
    registerClass<SLVAlwaysAppsController>();
    registerClass<SLVRecentlyClosedController>();
}

void Init()
{
    sv::log("Sleep Vane: Loaded in settings");

    auto& center = sv::NotificationCenter::defaultCenter();
    for (std::string_view name : { sv::ui::UIApplicationWillResignActiveNotification,
                                   sv::ui::UIApplicationDidEnterBackgroundNotification })
        center.addObserver(&kClassObserver, std::string(name), [](const sv::Notification&) { SLVAppDelegate::popAllControllers(); });

    CFNotificationCenterRef darwin = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(darwin, nullptr, appsAllLoaded, slv::darwin::AppsLoaded, nullptr,
                                    CFNotificationSuspensionBehaviorDrop);
    CFNotificationCenterAddObserver(darwin, nullptr, checkOnApps, slv::darwin::CheckOnApps, nullptr,
                                    CFNotificationSuspensionBehaviorDrop);
}

void appsAllLoaded(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    sv::NotificationCenter::defaultCenter().post(slv::local::CheckOnApps);
}

void checkOnApps(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    sv::NotificationCenter::defaultCenter().post(slv::local::CheckOnAppLoading);
}
