#pragma once
// UILabel: text drawn in its bounds, centred vertically.

#include "platform/ui/font.h"
#include "platform/ui/text_style.h"
#include "platform/ui/view.h"

#include <string>

namespace sv::ui {

class UILabel : public UIView {
public:
    static std::shared_ptr<UILabel> initWithFrame(const Rect& frame);

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode);
    // 0: as many lines as the height takes.
    void setNumberOfLines(int lines);
    // With one line: shrink the font, down to 6 points, until the text fits the width.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);

    // The font the text is drawn in at the current width.
    UIFont fittedFont() const;

protected:
    void drawRect(const Rect& rect) override;
    UILabel();
    bool setUpWithFrame(const Rect& frame);

private:
    std::string text_;
    UIFont font_;
    UIColor textColor_ = UIColor::blackColor();
    TextAlignment alignment_ = TextAlignment::Left;
    LineBreakMode lineBreakMode_ = LineBreakMode::TailTruncation;
    int numberOfLines_ = 1;
    bool adjustsFontSizeToFitWidth_ = false;
};

} // namespace sv::ui
