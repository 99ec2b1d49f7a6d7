#include "platform/ui/action_sheet.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/string_drawing.h"

namespace sv::ui {
namespace {
    constexpr float kMargin = 20;
    constexpr float kButtonHeight = 44;
    constexpr float kButtonGap = 8;
    const UIFont kTitleFont = UIFont::systemFontOfSize(14);
}

std::shared_ptr<UIActionSheet> UIActionSheet::initWithTitle(std::string title, std::weak_ptr<UIActionSheetDelegate> delegate,
                                                            std::optional<std::string> cancelButtonTitle,
                                                            std::optional<std::string> destructiveButtonTitle,
                                                            std::vector<std::string> otherButtonTitles)
{
    auto sheet = sv::makeSetUp(new UIActionSheet, &UIActionSheet::setUpWithDelegate, std::move(title), std::move(delegate));
    if (!sheet)
        return nullptr;
    if (destructiveButtonTitle)
        sheet->destructiveButtonIndex_ = sheet->addButtonWithTitle(std::move(*destructiveButtonTitle));
    sheet->addButtonsWithTitles(std::move(otherButtonTitles));
    sheet->addCancelButtonWithTitle(std::move(cancelButtonTitle));
    return sheet;
}

void UIActionSheet::setActionSheetStyle(UIActionSheetStyle style)
{
    setDrawn(style_, style);
}

void UIActionSheet::setDestructiveButtonIndex(long index)
{
    setDrawn(destructiveButtonIndex_, index);
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view)
{
    if (view)
        present();
}

void UIActionSheet::drawRect(const Rect&)
{
    drawDimmedScreen();
    Rect b = bounds();
    float width = b.width() - 2 * kMargin;
    float titleHeight = this->titleHeight(kTitleFont, width);
    long count = numberOfButtons();
    float height = 14 + titleHeight + (titleHeight > 0 ? 12 : 0) + (kButtonHeight + kButtonGap) * static_cast<float>(count) + 10;
    Rect panel { 0, b.maxY() - height, b.width(), height };

    bool dark = style_ == UIActionSheetStyle::BlackTranslucent || style_ == UIActionSheetStyle::BlackOpaque;
    float alpha = style_ == UIActionSheetStyle::BlackTranslucent ? 0.8f : 1;
    (dark ? UIColor::colorWithWhite(0.08f, alpha) : UIColor::colorWithRed(0.33f, 0.39f, 0.49f, 0.95f)).setFill();
    UIBezierPath::bezierPathWithRect(panel).fill();
    UIColor::colorWithWhite(1, 0.3f).setFill();
    UIBezierPath::bezierPathWithRect({ panel.x(), panel.y(), panel.width(), 1 }).fill();

    float y = panel.y() + 14;
    if (titleHeight > 0) {
        UIColor::colorWithWhite(dark ? 0.85f : 1, 1).setFill();
        drawInRect(title(), { kMargin, y, width, titleHeight }, kTitleFont, LineBreakMode::WordWrap, TextAlignment::Center);
        y += titleHeight + 12;
    }
    for (long i = 0; i < count; ++i) {
        Rect frame { kMargin, y, width, kButtonHeight };
        if (i == destructiveButtonIndex_)
            drawButton(frame, buttonTitleAtIndex(i), UIColor::colorWithRed(0.80f, 0.10f, 0.09f, 1), UIColor::whiteColor());
        else if (i == cancelButtonIndex())
            drawButton(frame, buttonTitleAtIndex(i), UIColor::colorWithWhite(0.2f, 1), UIColor::whiteColor());
        else
            drawButton(frame, buttonTitleAtIndex(i), UIColor::colorWithWhite(0.93f, 1), UIColor::blackColor());
        y += kButtonHeight + kButtonGap;
    }
}

} // namespace sv::ui
