#pragma once
// UIApplication: the running application, its navigation controller, and the system's notices
// that it leaves the screen (posted on the default notification centre).

#include "platform/ui/navigation_controller.h"

#include <memory>
#include <string_view>

namespace sv::ui {

inline constexpr std::string_view UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr std::string_view UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";

class UIApplication {
public:
    static UIApplication& sharedApplication();

    // The navigation controller the application's screens live in; null until the host sets it.
    const std::shared_ptr<UINavigationController>& rootController() const { return rootController_; }
    void setRootController(std::shared_ptr<UINavigationController> controller) { rootController_ = std::move(controller); }

    // The system telling the application: it stops being active; it goes to the background.
    void resignActive();
    void enterBackground();

private:
    UIApplication() = default;
    std::shared_ptr<UINavigationController> rootController_;
};

} // namespace sv::ui
