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

// Hears which button was pressed. Held weakly by the alert.
class UIAlertViewDelegate {
public:
    virtual void clickedButtonAtIndex(UIAlertView& alertView, long buttonIndex) = 0;

protected:
    ~UIAlertViewDelegate() = default;
};

class UIAlertView : public AlertPanel {
public:
    static std::shared_ptr<UIAlertView> initWithTitle(std::string title, std::string message,
                                                      std::weak_ptr<UIAlertViewDelegate> delegate,
                                                      std::optional<std::string> cancelButtonTitle,
                                                      std::vector<std::string> otherButtonTitles);

    const std::string& message() const { return message_; }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }

    void show() { present(); }

protected:
    void drawRect(const Rect& rect) override;
    UIAlertView() = default;
    void clickedButtonAtIndex(long index) override;

private:
    std::string message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
};

} // namespace sv::ui
