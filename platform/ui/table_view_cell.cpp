#include "platform/ui/table_view_cell.h"

#include "platform/foundation/make_set_up.h"
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
    return sv::makeSetUp(new UITableViewCell, &UITableViewCell::setUpWithStyle, style, std::move(reuseIdentifier));
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
    replaceHeldSubview(accessoryView_, std::move(view));
    setNeedsLayout();
}

void UITableViewCell::setHighlighted(bool highlighted, bool)
{
    setDrawnIfChanged(highlighted_, highlighted);
}

void UITableViewCell::setSelected(bool selected, bool)
{
    setDrawnIfChanged(selected_, selected);
}

void UITableViewCell::setSelectionStyle(UITableViewCellSelectionStyle style)
{
    setDrawn(selectionStyle_, style);
}

unsigned UITableViewCell::stateMask() const
{
    return (editing_ ? UITableViewCellStateShowingEditControlMask : 0u)
        | (showingDeleteConfirmation_ ? UITableViewCellStateShowingDeleteConfirmationMask : 0u);
}

void UITableViewCell::setEditing(bool editing, bool)
{
    transition(editing_, UITableViewCellStateShowingEditControlMask, editing);
}

void UITableViewCell::setShowingDeleteConfirmation(bool showing)
{
    transition(showingDeleteConfirmation_, UITableViewCellStateShowingDeleteConfirmationMask, showing);
}

void UITableViewCell::transition(bool& flag, unsigned mask, bool on)
{
    if (flag == on)
        return;
    unsigned next = (stateMask() & ~mask) | (on ? mask : 0u);
    willTransitionToState(next);
    flag = on;
    setNeedsLayout();
    didTransitionToState(next);
}

void UITableViewCell::willTransitionToState(unsigned) { }
void UITableViewCell::didTransitionToState(unsigned) { }

void UITableViewCell::setSeparatorColor(const UIColor& color)
{
    setDrawnIfChanged(separatorColor_, color);
}

void UITableViewCell::prepareForReuse()
{
    setHighlighted(false);
    setSelected(false);
    setShowingDeleteConfirmation(false);
    setEditing(false);
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
    if ((highlighted_ || selected_) && selectionStyle_ != UITableViewCellSelectionStyle::None) {
        // The selection background: a band of blue (or grey), lighter at the top.
        bool blue = selectionStyle_ == UITableViewCellSelectionStyle::Blue;
        UIColor top = blue ? UIColor::colorWithRed(0.02f, 0.55f, 0.96f, 1) : UIColor::colorWithWhite(0.75f, 1);
        UIColor bottom = blue ? UIColor::colorWithRed(0.0f, 0.37f, 0.88f, 1) : UIColor::colorWithWhite(0.6f, 1);
        top.setFill();
        UIBezierPath::bezierPathWithRect({ b.x(), b.y(), b.width(), b.height() / 2 }).fill();
        bottom.setFill();
        UIBezierPath::bezierPathWithRect({ b.x(), b.midY(), b.width(), b.height() / 2 }).fill();
    }
    // A hairline between rows.
    separatorColor_.setFill();
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
