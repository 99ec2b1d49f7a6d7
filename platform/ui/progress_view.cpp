#include "platform/ui/progress_view.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {

std::shared_ptr<UIProgressView> UIProgressView::initWithProgressViewStyle(UIProgressViewStyle style)
{
    return sv::makeSetUp(new UIProgressView, &UIProgressView::setUpWithStyle, style);
}

bool UIProgressView::setUpWithStyle(UIProgressViewStyle style)
{
    if (!UIView::setUpWithFrame({ 0, 0, 150, kBarHeight }))
        return false;
    style_ = style;
    setOpaque(false);
    return true;
}

void UIProgressView::setProgress(float progress)
{
    if (std::isnan(progress))
        return;
    progress_ = std::clamp(progress, 0.0f, 1.0f);
    setNeedsDisplay();
}

void UIProgressView::drawRect(const Rect&)
{
    // The bar keeps its own height at the top of a taller frame.
    Rect b = bounds();
    Rect track { b.x(), b.y(), b.width(), std::min(b.height(), kBarHeight) };
    float radius = track.height() / 2;
    bool light = style_ == UIProgressViewStyle::Default;
    UIColor::colorWithWhite(light ? 0.55f : 0.3f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect(track, radius).fill();
    UIColor::colorWithWhite(light ? 0.97f : 0.75f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect(inset(track, 1, 1), radius - 1).fill();
    if (progress_ <= 0)
        return;
    Rect filled { track.x() + 1, track.y() + 1, std::max(track.height() - 2, (track.width() - 2) * progress_),
                  track.height() - 2 };
    UIColor::colorWithRed(0.16f, 0.45f, 0.87f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect(filled, radius - 1).fill();
}

} // namespace sv::ui
