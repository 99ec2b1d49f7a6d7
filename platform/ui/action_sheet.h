#pragma once
// UIActionSheet: a panel rising from the bottom of the screen with a title and a column of
// buttons: the destructive button first, then the others in order, the cancel button last.
// The destructive button is drawn red, wherever its index is set to point.

#include "platform/ui/alert_panel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv::ui {

class UIActionSheet;

enum class UIActionSheetStyle { Automatic = -1, Default = 0, BlackTranslucent = 2, BlackOpaque = 1 };

using UIActionSheetDelegate = PanelDelegate<UIActionSheet>;

class UIActionSheet : public DelegatingPanel<UIActionSheet> {
public:
    static std::shared_ptr<UIActionSheet> initWithTitle(std::string title, std::weak_ptr<UIActionSheetDelegate> delegate,
                                                        std::optional<std::string> cancelButtonTitle,
                                                        std::optional<std::string> destructiveButtonTitle,
                                                        std::vector<std::string> otherButtonTitles);

    UIActionSheetStyle actionSheetStyle() const { return style_; }
    void setActionSheetStyle(UIActionSheetStyle style);
    // -1: none.
    long destructiveButtonIndex() const { return destructiveButtonIndex_; }
    void setDestructiveButtonIndex(long index);

    // Shown over the screen the view is on.
    void showInView(const std::shared_ptr<UIView>& view);

protected:
    void drawRect(const Rect& rect) override;
    UIActionSheet() = default;

private:
    UIActionSheetStyle style_ = UIActionSheetStyle::Automatic;
    long destructiveButtonIndex_ = -1;
};

} // namespace sv::ui
