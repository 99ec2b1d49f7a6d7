#include "platform/ui/progress_hud.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/string_drawing.h"

#include <cmath>
#include <numbers>

namespace sv::ui {

std::shared_ptr<UIProgressHUD> UIProgressHUD::initWithFrame(const Rect& frame)
{
    auto hud = sv::makeSetUp(new UIProgressHUD, &UIProgressHUD::setUpWithFrame, frame);
    if (!hud)
        return nullptr;
    hud->setOpaque(false);
    return hud;
}

void UIProgressHUD::setText(std::string text)
{
    setDrawn(text_, std::move(text));
}

void UIProgressHUD::showInView(const std::shared_ptr<UIView>& view)
{
    if (!view)
        return;
    view->addSubview(shared_from_this());
    showing_ = true;
    setNeedsDisplay();
}

void UIProgressHUD::done()
{
    setDrawn(done_, true);
}

void UIProgressHUD::drawRect(const Rect&)
{
    Rect b = bounds();
    UIColor::colorWithWhite(0, 0.78f).setFill();
    UIBezierPath::bezierPathWithRoundedRect(b, 10).fill();

    Point centre { b.midX(), b.y() + 48 };
    if (done_) {
        UIBezierPath check;
        check.moveToPoint({ centre.x - 14, centre.y });
        check.addLineToPoint({ centre.x - 4, centre.y + 11 });
        check.addLineToPoint({ centre.x + 16, centre.y - 13 });
        check.setLineWidth(5);
        UIColor::whiteColor().setStroke();
        check.stroke();
    } else {
        // Twelve spokes fading round the circle, as the spinner stands at one moment.
        for (int i = 0; i < 12; ++i) {
            double angle = i * std::numbers::pi / 6;
            float dx = static_cast<float>(std::cos(angle)), dy = static_cast<float>(std::sin(angle));
            UIBezierPath spoke;
            spoke.moveToPoint({ centre.x + dx * 9, centre.y + dy * 9 });
            spoke.addLineToPoint({ centre.x + dx * 18, centre.y + dy * 18 });
            spoke.setLineWidth(3.5f);
            UIColor::colorWithWhite(1, 0.25f + 0.75f * static_cast<float>(i) / 11).setStroke();
            spoke.stroke();
        }
    }
    UIColor::whiteColor().setFill();
    drawInRect(text_, { b.x() + 10, b.y() + 84, b.width() - 20, 70 }, UIFont::boldSystemFontOfSize(17),
               LineBreakMode::WordWrap, TextAlignment::Center);
}

} // namespace sv::ui
