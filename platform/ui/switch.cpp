#include "platform/ui/switch.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"

namespace sv::ui {

std::shared_ptr<UISwitch> UISwitch::initWithFrame(const Rect& frame)
{
    return sv::makeSetUp(new UISwitch, &UISwitch::setUpWithFrame, frame);
}

bool UISwitch::setUpWithFrame(const Rect& frame)
{
    if (!UIControl::setUpWithFrame({ frame.x(), frame.y(), kSize.width, kSize.height }))
        return false;
    setOpaque(false);
    return true;
}

void UISwitch::setOn(bool on, bool)
{
    setDrawnIfChanged(on_, on);
}

bool UISwitch::beginTrackingWithTouch(const UITouch&, const UIEvent*)
{
    return true;
}

void UISwitch::endTrackingWithTouch(const UITouch* touch, const UIEvent*)
{
    if (touch && contains(bounds(), touch->locationInView(this))) {
        setOn(!on_);
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
}

void UISwitch::drawRect(const Rect&)
{
    Rect body = bounds();
    float radius = body.height() / 2;
    if (on_)
        UIColor::colorWithRed(0.16f, 0.45f, 0.92f, 1).setFill();
    else
        UIColor::colorWithWhite(0.85f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect(body, radius).fill();
    float knob = body.height() - 2;
    Rect knobRect { on_ ? body.maxX() - knob - 1 : body.x() + 1, body.y() + 1, knob, knob };
    UIColor::colorWithWhite(0.6f, 1).setFill();
    UIBezierPath::bezierPathWithOvalInRect(knobRect).fill();
    UIColor::whiteColor().setFill();
    UIBezierPath::bezierPathWithOvalInRect(inset(knobRect, 1, 1)).fill();
}

} // namespace sv::ui
