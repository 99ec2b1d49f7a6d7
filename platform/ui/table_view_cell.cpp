#include "platform/ui/table_view_cell.h"

#include "platform/ui/bezier_path.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {
namespace {
    constexpr float kMargin = 10;
    constexpr float kDisclosureWidth = 20;
}

std::shared_ptr<UITableViewCell> UITableViewCell::initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    std::shared_ptr<UITableViewCell> cell(new UITableViewCell);
    return cell->setUpWithStyle(style, std::move(reuseIdentifier)) ? cell : nullptr;
}

bool UITableViewCell::setUpWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    if (!UIView::setUpWithFrame({ 0, 0, 320, kDefaultHeight }))
        return false;
    style_ = style;
    reuseIdentifier_ = std::move(reuseIdentifier);
    setBackgroundColor(UIColor::whiteColor());
    textLabel_ = UILabel::initWithFrame(RectZero);
    textLabel_->setBackgroundColor(UIColor::clearColor());
    textLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    addSubview(textLabel_);
    return true;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type)
{
    accessoryType_ = type;
    setNeedsLayout();
    setNeedsDisplay();
}

void UITableViewCell::setAccessoryView(std::shared_ptr<UIView> view)
{
    if (accessoryView_)
        accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(view);
    if (accessoryView_)
        addSubview(accessoryView_);
    setNeedsLayout();
}

void UITableViewCell::layoutSubviews()
{
    Rect b = bounds();
    float right = b.maxX() - kMargin;
    if (accessoryView_) {
        Rect f = accessoryView_->frame();
        accessoryView_->setFrame({ right - f.width(), b.y() + std::floor((b.height() - f.height()) / 2), f.width(), f.height() });
        right -= f.width() + kMargin;
    } else if (accessoryType_ != UITableViewCellAccessoryType::None) {
        right -= kDisclosureWidth;
    }
    textLabel_->setFrame({ b.x() + kMargin, b.y(), std::max(0.0f, right - b.x() - kMargin), b.height() });
}

void UITableViewCell::drawRect(const Rect&)
{
    Rect b = bounds();
    // A hairline between rows.
    UIColor::colorWithWhite(0.8f, 1).setFill();
    UIBezierPath::bezierPathWithRect({ b.x(), b.maxY() - 1, b.width(), 1 }).fill();
    if (accessoryView_ || accessoryType_ != UITableViewCellAccessoryType::DisclosureIndicator)
        return;
    // A chevron pointing right.
    float x = b.maxX() - kMargin - 9, y = b.midY();
    UIBezierPath chevron;
    chevron.moveToPoint({ x, y - 6 });
    chevron.addLineToPoint({ x + 6, y });
    chevron.addLineToPoint({ x, y + 6 });
    chevron.setLineWidth(2.5f);
    UIColor::colorWithWhite(0.5f, 1).setStroke();
    chevron.stroke();
}

} // namespace sv::ui
