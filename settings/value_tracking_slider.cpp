#include "settings/value_tracking_slider.h"

#include "contract/slider.h"
#include "platform/foundation/make_set_up.h"
#include "platform/foundation/string_number.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/color.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

using namespace sv::ui;

namespace {
// The double formatted whole, however many digits it takes.
std::string format(const char* pattern, double value)
{
    int length = std::snprintf(nullptr, 0, pattern, value);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::snprintf(text.data(), text.size() + 1, pattern, value);
    return text;
}
}

std::shared_ptr<ZEVSliderValuePopupView> ZEVSliderValuePopupView::initWithFrame(
    const Rect& frame, std::weak_ptr<ZEVValueTrackingSliderDelegate> del)
{
    auto popup = sv::makeSetUp(new ZEVSliderValuePopupView, &ZEVSliderValuePopupView::setUpWithFrame, frame);
    if (!popup)
        return nullptr;
    popup->ClassDelegate = std::move(del);
    popup->_font = UIFont::boldSystemFontOfSize(14.0f);
    return popup;
}

void ZEVSliderValuePopupView::setValue(float value)
{
    auto keep = shared_from_this();
    _value = value;
    // The text without its decimal point and two decimals, read as an integer.
    std::string formatted = format("%4.2f", static_cast<double>(value));
    formatted.erase(formatted.size() >= 3 ? formatted.size() - 3 : 0);
    int whole = sv::intValue(formatted);
    constexpr double kStep = slv::kThresholdStep;
    double quantised = kStep * std::round(whole / kStep);
    // Absurd values stay on a step inside the int range.
    constexpr double kLimit = INT_MAX - INT_MAX % slv::kThresholdStep;
    auto number = static_cast<std::int32_t>(std::clamp(quantised, -kLimit, kLimit));
    char text[32];
    std::snprintf(text, sizeof text, "%i MB", number);
    if (auto delegate = ClassDelegate.lock())
        delegate->valueIsUpdating(text, number);
    setText(text);
    setNeedsDisplay();
}

void ZEVSliderValuePopupView::drawRect(const Rect&)
{
    Rect b = bounds();
    UIColor::colorWithWhite(0.0f, 0.8f).setFill();
    Rect body { b.x(), b.y(), b.width(), std::floor(0.8f * b.height()) };
    UIBezierPath balloon = UIBezierPath::bezierPathWithRoundedRect(body, 6.0f);
    UIBezierPath arrow = UIBezierPath::bezierPath();
    arrow.moveToPoint({ b.midX(), b.maxY() });
    arrow.addLineToPoint({ b.midX() - 10, body.maxY() });
    arrow.addLineToPoint({ b.midX() + 10, body.maxY() });
    arrow.closePath();
    balloon.appendPath(arrow);
    balloon.fill();

    if (!_text)
        return;
    UIColor::colorWithWhite(1.0f, 0.8f).set();
    UIFont font = _font ? *_font : UIFont::boldSystemFontOfSize(14.0f);
    float height = sizeWithFont(*_text, font).height;
    drawInRect(*_text, { body.x(), (body.height() - height) / 2, body.width(), height }, font, LineBreakMode::WordWrap,
               TextAlignment::Center);
}

std::shared_ptr<ZEVValueTrackingSlider> ZEVValueTrackingSlider::initWithFrame(
    const Rect& frame, std::weak_ptr<ZEVValueTrackingSliderDelegate> del)
{
    auto slider = sv::makeSetUp(new ZEVValueTrackingSlider,
                                [&](ZEVValueTrackingSlider& made) { return made.UISlider::setUpWithFrame(frame); });
    if (!slider)
        return nullptr;
    // Stored before the balloon is made, so that the balloon gets it too.
    slider->ClassDelegate = std::move(del);
    slider->_constructSlider();
    return slider;
}

std::shared_ptr<ZEVValueTrackingSlider> ZEVValueTrackingSlider::initWithCoder(const NSCoder& coder)
{
    auto slider = sv::makeSetUp(new ZEVValueTrackingSlider,
                                [&](ZEVValueTrackingSlider& made) { return made.UISlider::setUpWithCoder(coder); });
    if (!slider)
        return nullptr;
    slider->_constructSlider();
    return slider;
}

void ZEVValueTrackingSlider::_constructSlider()
{
    valuePopupView = ZEVSliderValuePopupView::initWithFrame(RectZero, ClassDelegate);
    valuePopupView->setBackgroundColor(UIColor::clearColor());
    valuePopupView->setAlpha(0.0f);
    // Placed above the slider's bounds; nothing clips it.
    addSubview(valuePopupView);
}

Rect ZEVValueTrackingSlider::thumbRect() const
{
    Rect b = bounds();
    Rect track = trackRectForBounds(b);
    return thumbRectForBounds(b, track, value());
}

void ZEVValueTrackingSlider::_positionAndUpdatePopupView()
{
    Rect thumb = thumbRect();
    Rect popup = offset(thumb, 0, std::floor(-1.5f * thumb.height()) + 14);
    valuePopupView->setFrame(inset(popup, -20, 3));
    valuePopupView->setValue(std::trunc(value()));
}

void ZEVValueTrackingSlider::_fadePopupViewInAndOut(bool show)
{
    UIView::beginAnimations(nullptr, nullptr);
    UIView::setAnimationDuration(0.5);
    valuePopupView->setAlpha(show ? 1.0f : 0.0f);
    UIView::commitAnimations();
}

bool ZEVValueTrackingSlider::beginTrackingWithTouch(const UITouch& touch, const UIEvent* event)
{
    Point location = touch.locationInView(this);
    if (contains(inset(thumbRect(), -13, -13), location)) {
        _positionAndUpdatePopupView();
        _fadePopupViewInAndOut(true);
    }
    return UISlider::beginTrackingWithTouch(touch, event);
}

bool ZEVValueTrackingSlider::continueTrackingWithTouch(const UITouch& touch, const UIEvent* event)
{
    _positionAndUpdatePopupView();
    return UISlider::continueTrackingWithTouch(touch, event);
}

void ZEVValueTrackingSlider::endTrackingWithTouch(const UITouch* touch, const UIEvent* event)
{
    _positionAndUpdatePopupView();
    _fadePopupViewInAndOut(false);
    UISlider::endTrackingWithTouch(touch, event);
}

void ZEVValueTrackingSlider::cancelTrackingWithEvent(const UIEvent* event)
{
    // The thumb stays where the finger left it: the balloon, the label and the file follow it.
    _positionAndUpdatePopupView();
    _fadePopupViewInAndOut(false);
    UISlider::cancelTrackingWithEvent(event);
}
