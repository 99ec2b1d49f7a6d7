#pragma once
// What alert views and action sheets share: a title, buttons numbered from 0 in order, and
// their life as a panel over the whole screen. A shown panel is kept by the application
// (UIApplication::visibleAlerts) until a button is pressed or it is dismissed, so its maker
// need not hold it. Panels lie over the screen in no view of it; hosts draw them on top.

#include "platform/ui/font.h"
#include "platform/ui/view.h"

#include <string>
#include <vector>

namespace sv::ui {

class AlertPanel : public UIView {
public:
    const std::string& title() const { return title_; }
    void setTitle(std::string title);

    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    long numberOfButtons() const { return static_cast<long>(buttons_.size()); }
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(long index) const;
    // The index of the new button.
    long addButtonWithTitle(std::string title);
    // -1: none.
    long cancelButtonIndex() const { return cancelButtonIndex_; }
    void setCancelButtonIndex(long index) { cancelButtonIndex_ = index; }

    bool isVisible() const { return visible_; }

    // A finger on a button: the delegate hears of it, then the panel goes away. False for an
    // index out of range or a panel that is not shown.
    bool pressButtonAtIndex(long index);
    // Takes the panel away without telling the delegate of a press.
    void dismissWithClickedButtonIndex(long index, bool animated);

protected:
    AlertPanel() = default;
    bool setUpWithTitle(std::string title);
    // Shown over the screen, kept by the application.
    void present();
    virtual void clickedButtonAtIndex(long index) = 0;

    // Drawing helpers: the screen dimmed, a button with its title.
    void drawDimmedScreen() const;
    // The height of the title wrapped to the width: at most three lines, the last one cut with
    // an ellipsis when more would follow (zero without a title).
    float titleHeight(const UIFont& font, float width) const;
    static void drawButton(const Rect& frame, const std::string& title, const UIColor& fill, const UIColor& text);

private:
    std::string title_;
    std::vector<std::string> buttons_;
    long cancelButtonIndex_ = -1;
    bool visible_ = false;
};

} // namespace sv::ui
