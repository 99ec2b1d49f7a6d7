#include "platform/ui/alert_panel.h"

#include "platform/ui/application.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/string_drawing.h"

#include <cmath>

namespace sv::ui {

bool AlertPanel::setUpWithTitle(std::string title)
{
    Size screen = UINavigationController::kViewSize;
    if (!setUpWithFrame({ 0, 0, screen.width, screen.height }))
        return false;
    setOpaque(false);
    title_ = std::move(title);
    return true;
}

void AlertPanel::setTitle(std::string title)
{
    setDrawn(title_, std::move(title));
}

std::string AlertPanel::buttonTitleAtIndex(long index) const
{
    return index >= 0 && index < numberOfButtons() ? buttons_[static_cast<std::size_t>(index)] : std::string();
}

long AlertPanel::addButtonWithTitle(std::string title)
{
    buttons_.push_back(std::move(title));
    setNeedsDisplay();
    return numberOfButtons() - 1;
}

void AlertPanel::addButtonsWithTitles(std::vector<std::string> titles)
{
    for (auto& title : titles)
        addButtonWithTitle(std::move(title));
}

void AlertPanel::addCancelButtonWithTitle(std::optional<std::string> title)
{
    if (title)
        setCancelButtonIndex(addButtonWithTitle(std::move(*title)));
}

void AlertPanel::present()
{
    if (visible_)
        return;
    visible_ = true;
    setNeedsLayout();
    setNeedsDisplay();
    UIApplication::sharedApplication().alertShown(std::static_pointer_cast<AlertPanel>(shared_from_this()));
}

bool AlertPanel::pressButtonAtIndex(long index)
{
    if (!visible_ || index < 0 || index >= numberOfButtons())
        return false;
    // The application may hold the last reference.
    auto keep = shared_from_this();
    clickedButtonAtIndex(index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

void AlertPanel::dismissWithClickedButtonIndex(long, bool)
{
    if (!visible_)
        return;
    visible_ = false;
    UIApplication::sharedApplication().alertDismissed(this);
}

void AlertPanel::drawDimmedScreen() const
{
    UIColor::colorWithWhite(0, 0.45f).setFill();
    UIBezierPath::bezierPathWithRect(bounds()).fill();
}

float AlertPanel::titleHeight(const UIFont& font, float width) const
{
    constexpr float kMostLines = 3;
    if (title_.empty())
        return 0;
    return sizeWithFont(title_, font, { width, std::ceil(font.lineHeight() * kMostLines) }, LineBreakMode::WordWrap).height;
}

void AlertPanel::drawButton(const Rect& frame, const std::string& title, const UIColor& fill, const UIColor& text)
{
    UIColor::colorWithWhite(0, 0.5f).setFill();
    UIBezierPath::bezierPathWithRoundedRect(offset(frame, 0, 1), 6).fill();
    fill.setFill();
    UIBezierPath::bezierPathWithRoundedRect(frame, 6).fill();
    UIColor::colorWithWhite(1, 0.25f).setFill();
    UIBezierPath::bezierPathWithRoundedRect({ frame.x() + 1, frame.y() + 1, frame.width() - 2, frame.height() / 2 - 1 }, 5).fill();
    UIFont font = UIFont::boldSystemFontOfSize(18);
    text.setFill();
    drawInRect(title, { frame.x() + 6, frame.y() + (frame.height() - font.lineHeight()) / 2, frame.width() - 12, font.lineHeight() },
               font, LineBreakMode::TailTruncation, TextAlignment::Center);
}

} // namespace sv::ui
