#pragma once
// UIApplication: the running application, its navigation controller, and the system's notices
// that it leaves the screen (posted on the default notification centre).

#include "platform/ui/navigation_controller.h"

#include <memory>
#include <string_view>
#include <vector>

namespace sv::ui {

class AlertPanel;

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

    // Alert views and action sheets on screen, oldest first; the last one is on top and is the
    // one a finger can reach. The application keeps them while they are shown.
    const std::vector<std::shared_ptr<AlertPanel>>& visibleAlerts() const { return alerts_; }
    void alertShown(std::shared_ptr<AlertPanel> panel);
    void alertDismissed(const AlertPanel* panel);
    // Takes every panel away unanswered (tests starting afresh).
    void dismissAllAlerts();

private:
    UIApplication() = default;
    std::shared_ptr<UINavigationController> rootController_;
    std::vector<std::shared_ptr<AlertPanel>> alerts_;
};

} // namespace sv::ui
