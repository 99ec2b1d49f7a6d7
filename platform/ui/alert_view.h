#pragma once
// UIAlertView: a panel in the middle of the screen with a title, a message and buttons: the
// cancel button first (index 0), then the others in order.

#include "platform/ui/alert_panel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv::ui {

class UIAlertView;

using UIAlertViewDelegate = PanelDelegate<UIAlertView>;

class UIAlertView : public DelegatingPanel<UIAlertView> {
public:
    static std::shared_ptr<UIAlertView> initWithTitle(std::string title, std::string message,
                                                      std::weak_ptr<UIAlertViewDelegate> delegate,
                                                      std::optional<std::string> cancelButtonTitle,
                                                      std::vector<std::string> otherButtonTitles);

    const std::string& message() const { return message_; }

    void show() { present(); }

protected:
    void drawRect(const Rect& rect) override;
    UIAlertView() = default;

private:
    std::string message_;
};

} // namespace sv::ui
