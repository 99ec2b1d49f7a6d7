#pragma once
// UITableViewCell: one row: a title label and an accessory at its right end, both direct
// subviews of the cell; its states (highlighted, selected, editing, delete confirmation), which
// change only how it is drawn; and the hairline under it.

#include "platform/ui/label.h"
#include "platform/ui/view.h"

#include <string>

namespace sv::ui {

enum class UITableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class UITableViewCellAccessoryType { None = 0, DisclosureIndicator = 1, DetailDisclosureButton = 2, Checkmark = 3 };
enum class UITableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2 };

// The bits of the state handed to willTransitionToState / didTransitionToState.
enum UITableViewCellStateMask : unsigned {
    UITableViewCellStateDefaultMask = 0,
    UITableViewCellStateShowingEditControlMask = 1u << 0,
    UITableViewCellStateShowingDeleteConfirmationMask = 1u << 1,
};

class UITableViewCell : public UIView {
public:
    static constexpr float kDefaultHeight = 44;

    static std::shared_ptr<UITableViewCell> initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier);

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<UILabel>& textLabel() const { return textLabel_; }

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    void setAccessoryView(std::shared_ptr<UIView> view);

    // A highlighted or selected cell is drawn in its selection style's colour.
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    void setSelectionStyle(UITableViewCellSelectionStyle style);

    // Editing and the delete confirmation (a swipe) change the state mask: willTransitionToState
    // hears the new mask before it takes effect, didTransitionToState after.
    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated = false);
    bool showingDeleteConfirmation() const { return showingDeleteConfirmation_; }
    void setShowingDeleteConfirmation(bool showing);
    unsigned stateMask() const;
    virtual void willTransitionToState(unsigned state);
    virtual void didTransitionToState(unsigned state);

    // The hairline under the row; a table sets its own colour on the cells it shows.
    const UIColor& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const UIColor& color);

    // Before a table hands the cell out again: back to plain, unselected, not editing.
    virtual void prepareForReuse();

protected:
    void layoutSubviews() override;
    void drawRect(const Rect& rect) override;
    UITableViewCell() = default;
    bool setUpWithStyle(UITableViewCellStyle style, std::string reuseIdentifier);

private:
    // Sets the flag behind one bit of the state mask, between the two transition hooks.
    void transition(bool& flag, unsigned mask, bool on);

    UITableViewCellStyle style_ = UITableViewCellStyle::Default;
    std::string reuseIdentifier_;
    std::shared_ptr<UILabel> textLabel_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::None;
    std::shared_ptr<UIView> accessoryView_;
    bool highlighted_ = false;
    bool selected_ = false;
    bool editing_ = false;
    bool showingDeleteConfirmation_ = false;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyle::Blue;
    UIColor separatorColor_ = UIColor::colorWithWhite(0.8f, 1);
};

} // namespace sv::ui
