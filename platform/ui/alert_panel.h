#pragma once
// What alert views and action sheets share: a title, buttons numbered from 0 in order, and
// their life as a panel over the whole screen. A shown panel is kept by the application
// (UIApplication::visibleAlerts) until a button is pressed or it is dismissed, so its maker
// need not hold it. Panels lie over the screen in no view of it; hosts draw them on top.

#include "platform/ui/font.h"
#include "platform/ui/view.h"

#include <memory>
#include <optional>
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
    // The factories' buttons: others in order; a cancel button, when there is a title for one.
    void addButtonsWithTitles(std::vector<std::string> titles);
    void addCancelButtonWithTitle(std::optional<std::string> title);
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

// Hears which button of a Panel was pressed. Held weakly by the panel.
template <typename Panel> class PanelDelegate {
public:
    virtual void clickedButtonAtIndex(Panel& panel, long buttonIndex) = 0;

protected:
    ~PanelDelegate() = default;
};

// A panel of kind Panel that tells its delegate of each press.
template <typename Panel> class DelegatingPanel : public AlertPanel {
public:
    std::shared_ptr<PanelDelegate<Panel>> delegate() const { return delegate_.lock(); }

protected:
    DelegatingPanel() = default;
    bool setUpWithDelegate(std::string title, std::weak_ptr<PanelDelegate<Panel>> delegate)
    {
        if (!setUpWithTitle(std::move(title)))
            return false;
        delegate_ = std::move(delegate);
        return true;
    }
    void clickedButtonAtIndex(long index) override
    {
        if (auto listener = delegate())
            listener->clickedButtonAtIndex(static_cast<Panel&>(*this), index);
    }

private:
    std::weak_ptr<PanelDelegate<Panel>> delegate_;
};

} // namespace sv::ui
