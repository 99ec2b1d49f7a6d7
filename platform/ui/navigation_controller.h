#pragma once
// UINavigationController: a stack of controllers under a navigation bar. Its view holds the bar
// and the top controller's view.

#include "platform/ui/view_controller.h"

#include <functional>
#include <vector>

namespace sv::ui {

class UINavigationController : public UIViewController {
public:
    static constexpr float kBarHeight = 44;
    // The application's area below the status bar.
    static constexpr Size kViewSize { 320, 460 };

    static std::shared_ptr<UINavigationController> initWithRootViewController(std::shared_ptr<UIViewController> root);
    ~UINavigationController() override;

    // Appearance calls go to the controllers as they come and go; the top view is laid out
    // before it is told it appeared.
    void pushViewController(std::shared_ptr<UIViewController> controller, bool animated);
    // The popped controller, or null when only the root is left (it is never popped).
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    std::shared_ptr<UIViewController> topViewController() const;
    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return controllers_; }

    enum class Change { Pushed, Popped };
    using Observer = std::function<void(Change change, UIViewController& controller)>;
    // Hosts watch the stack through this.
    void setObserver(Observer observer) { observer_ = std::move(observer); }

protected:
    UINavigationController() = default;
    void loadView() override;

private:
    void showTop();

    std::vector<std::shared_ptr<UIViewController>> controllers_;
    std::shared_ptr<UIView> bar_;
    std::shared_ptr<UIView> content_;
    Observer observer_;
};

} // namespace sv::ui
