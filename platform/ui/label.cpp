#include "platform/ui/label.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/graphics_context.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {

UILabel::UILabel() : font_(UIFont::systemFontOfSize(17)) { }

std::shared_ptr<UILabel> UILabel::initWithFrame(const Rect& frame)
{
    return sv::makeSetUp(new UILabel, &UILabel::setUpWithFrame, frame);
}

bool UILabel::setUpWithFrame(const Rect& frame)
{
    if (!UIView::setUpWithFrame(frame))
        return false;
    setBackgroundColor(UIColor::whiteColor());
    return true;
}

void UILabel::setText(std::string text)
{
    setDrawn(text_, std::move(text));
}

void UILabel::setFont(const UIFont& font)
{
    setDrawn(font_, font);
}

void UILabel::setTextColor(const UIColor& color)
{
    setDrawn(textColor_, color);
}

void UILabel::setTextAlignment(TextAlignment alignment)
{
    setDrawn(alignment_, alignment);
}

void UILabel::setLineBreakMode(LineBreakMode mode)
{
    setDrawn(lineBreakMode_, mode);
}

void UILabel::setNumberOfLines(int lines)
{
    setDrawn(numberOfLines_, std::max(0, lines));
}

void UILabel::setAdjustsFontSizeToFitWidth(bool adjusts)
{
    setDrawn(adjustsFontSizeToFitWidth_, adjusts);
}

UIFont UILabel::fittedFont() const
{
    if (!adjustsFontSizeToFitWidth_ || numberOfLines_ != 1 || text_.empty())
        return font_;
    float width = bounds().width();
    UIFont font = font_;
    // Half-point steps down to the minimum.
    constexpr float kMinimumFontSize = 6;
    while (font.widthOfText(text_) > width && font.pointSize() - 0.5f >= kMinimumFontSize)
        font = font.fontWithSize(font.pointSize() - 0.5f);
    return font;
}

void UILabel::drawRect(const Rect&)
{
    if (text_.empty())
        return;
    UIFont font = fittedFont();
    Rect box = bounds();
    float lineHeight = font.lineHeight();
    float maxHeight = numberOfLines_ == 0 ? box.height() : lineHeight * static_cast<float>(numberOfLines_);
    LineBreakMode mode = numberOfLines_ == 1 && (lineBreakMode_ == LineBreakMode::WordWrap
                                                 || lineBreakMode_ == LineBreakMode::CharacterWrap)
        ? LineBreakMode::Clip
        : lineBreakMode_;
    Size used = sizeWithFont(text_, font, { box.width(), std::max(maxHeight, lineHeight) }, mode);
    float height = std::min(used.height, std::max(box.height(), lineHeight));
    Rect textRect { box.x(), box.y() + (box.height() - height) / 2, box.width(), height };
    textColor_.setFill();
    drawInRect(text_, textRect, font, mode, alignment_);
}

} // namespace sv::ui
