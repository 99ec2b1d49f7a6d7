#include "platform/ui/alert_view.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>

namespace sv::ui {
namespace {
    constexpr float kPanelWidth = 284;
    constexpr float kMargin = 12;
    constexpr float kButtonHeight = 43;
    const UIFont kTitleFont = UIFont::boldSystemFontOfSize(18);
    const UIFont kMessageFont = UIFont::systemFontOfSize(16);
}

std::shared_ptr<UIAlertView> UIAlertView::initWithTitle(std::string title, std::string message,
                                                        std::weak_ptr<UIAlertViewDelegate> delegate,
                                                        std::optional<std::string> cancelButtonTitle,
                                                        std::vector<std::string> otherButtonTitles)
{
    auto alert = sv::makeSetUp(new UIAlertView, &UIAlertView::setUpWithDelegate, std::move(title), std::move(delegate));
    if (!alert)
        return nullptr;
    alert->message_ = std::move(message);
    alert->addCancelButtonWithTitle(std::move(cancelButtonTitle));
    alert->addButtonsWithTitles(std::move(otherButtonTitles));
    return alert;
}

void UIAlertView::drawRect(const Rect&)
{
    drawDimmedScreen();
    Rect b = bounds();
    float textWidth = kPanelWidth - 2 * kMargin;
    float titleHeight = this->titleHeight(kTitleFont, textWidth);
    float messageHeight = message_.empty() ? 0 : sizeWithFont(message_, kMessageFont, { textWidth, 0 }, LineBreakMode::WordWrap).height;
    // Two buttons stand side by side, more one above the other.
    long count = numberOfButtons();
    bool sideBySide = count == 2;
    float buttonsHeight = count == 0 ? 0 : (sideBySide ? kButtonHeight : (kButtonHeight + 8) * static_cast<float>(count) - 8);
    float height = kMargin + titleHeight + 6 + messageHeight + 14 + buttonsHeight + kMargin;
    Rect panel { (b.width() - kPanelWidth) / 2, std::max(10.0f, (b.height() - height) / 2), kPanelWidth, height };

    UIColor::colorWithWhite(1, 0.85f).setFill();
    UIBezierPath::bezierPathWithRoundedRect(panel, 10).fill();
    UIColor::colorWithRed(0.02f, 0.11f, 0.32f, 0.9f).setFill();
    UIBezierPath::bezierPathWithRoundedRect(inset(panel, 2, 2), 8).fill();

    float y = panel.y() + kMargin;
    UIColor::whiteColor().setFill();
    drawInRect(title(), { panel.x() + kMargin, y, textWidth, titleHeight }, kTitleFont, LineBreakMode::WordWrap, TextAlignment::Center);
    y += titleHeight + 6;
    drawInRect(message_, { panel.x() + kMargin, y, textWidth, messageHeight }, kMessageFont, LineBreakMode::WordWrap, TextAlignment::Center);
    y += messageHeight + 14;
    UIColor face = UIColor::colorWithRed(0.32f, 0.38f, 0.52f, 1);
    UIColor cancelFace = UIColor::colorWithRed(0.22f, 0.27f, 0.38f, 1);
    for (long i = 0; i < count; ++i) {
        Rect frame = sideBySide ? Rect { panel.x() + kMargin + static_cast<float>(i) * (textWidth + 8) / 2, y, (textWidth - 8) / 2, kButtonHeight }
                                : Rect { panel.x() + kMargin, y + static_cast<float>(i) * (kButtonHeight + 8), textWidth, kButtonHeight };
        drawButton(frame, buttonTitleAtIndex(i), i == cancelButtonIndex() ? cancelFace : face, UIColor::whiteColor());
    }
}

} // namespace sv::ui
