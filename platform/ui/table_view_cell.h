#pragma once
// UITableViewCell: one row: a title label and an accessory at its right end, both direct
// subviews of the cell.

#include "platform/ui/label.h"
#include "platform/ui/view.h"

#include <string>

namespace sv::ui {

enum class UITableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class UITableViewCellAccessoryType { None = 0, DisclosureIndicator = 1, DetailDisclosureButton = 2, Checkmark = 3 };

class UITableViewCell : public UIView {
public:
    static constexpr float kDefaultHeight = 44;

    static std::shared_ptr<UITableViewCell> initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier);

    std::string_view className() const override { return "UITableViewCell"; }

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<UILabel>& textLabel() const { return textLabel_; }

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    const std::shared_ptr<UIView>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<UIView> view);

    void layoutSubviews() override;
    void drawRect(const Rect& rect) override;

protected:
    UITableViewCell() = default;
    bool setUpWithStyle(UITableViewCellStyle style, std::string reuseIdentifier);

private:
    UITableViewCellStyle style_ = UITableViewCellStyle::Default;
    std::string reuseIdentifier_;
    std::shared_ptr<UILabel> textLabel_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::None;
    std::shared_ptr<UIView> accessoryView_;
};

} // namespace sv::ui
