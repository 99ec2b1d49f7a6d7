#include "platform/ui/slider.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/coder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sv::ui {

std::shared_ptr<UISlider> UISlider::initWithFrame(const Rect& frame)
{
    return sv::makeSetUp(new UISlider, &UISlider::setUpWithFrame, frame);
}

std::shared_ptr<UISlider> UISlider::initWithCoder(const NSCoder& coder)
{
    return sv::makeSetUp(new UISlider, &UISlider::setUpWithCoder, coder);
}

bool UISlider::setUpWithFrame(const Rect& frame)
{
    if (!UIControl::setUpWithFrame(frame))
        return false;
    setBackgroundColor(std::nullopt);
    setOpaque(false);
    return true;
}

bool UISlider::setUpWithCoder(const NSCoder& coder)
{
    if (!UIControl::setUpWithCoder(coder))
        return false;
    setBackgroundColor(std::nullopt);
    setOpaque(false);
    if (auto minimum = coder.decodeNumber("minimumValue"))
        setMinimumValue(static_cast<float>(*minimum));
    if (auto maximum = coder.decodeNumber("maximumValue"))
        setMaximumValue(static_cast<float>(*maximum));
    if (auto value = coder.decodeNumber("value"))
        setValue(static_cast<float>(*value));
    return true;
}

void UISlider::setValue(float value)
{
    if (!std::isfinite(value))
        return;
    if (minimumValue_ <= maximumValue_)
        value = std::clamp(value, minimumValue_, maximumValue_);
    setDrawnIfChanged(value_, value);
}

void UISlider::setMinimumValue(float value)
{
    setLimit(minimumValue_, value, [](float current, float limit) { return std::max(current, limit); });
}

void UISlider::setMaximumValue(float value)
{
    setLimit(maximumValue_, value, [](float current, float limit) { return std::min(current, limit); });
}

void UISlider::setLimit(float& limit, float value, float (*keepWithin)(float current, float limit))
{
    if (!std::isfinite(value))
        return;
    limit = value;
    value_ = keepWithin(value_, value);
    setNeedsDisplay();
}

Rect UISlider::trackRectForBounds(const Rect& bounds) const
{
    return { bounds.x() + 2, bounds.y() + std::floor((bounds.height() - kTrackHeight) / 2), bounds.width() - 4,
             kTrackHeight };
}

Rect UISlider::thumbRectForBounds(const Rect& bounds, const Rect& trackRect, float value) const
{
    (void)bounds;
    float range = maximumValue_ - minimumValue_;
    float fraction = range > 0 ? std::clamp((value - minimumValue_) / range, 0.0f, 1.0f) : 0.0f;
    // The thumb's edges reach two points past the track's ends.
    float travel = std::max(0.0f, trackRect.width() + 4 - kThumbSize.width);
    return { trackRect.x() - 2 + fraction * travel, std::floor(trackRect.midY() - kThumbSize.height / 2),
             kThumbSize.width, kThumbSize.height };
}

float UISlider::valueForLocation(Point location) const
{
    Rect track = trackRectForBounds(bounds());
    float travel = track.width() + 4 - kThumbSize.width;
    float range = maximumValue_ - minimumValue_;
    if (travel <= 0 || !(range > 0) || !std::isfinite(location.x))
        return minimumValue_;
    float fraction = std::clamp((location.x - (track.x() - 2) - kThumbSize.width / 2) / travel, 0.0f, 1.0f);
    return std::clamp(minimumValue_ + fraction * range, minimumValue_, maximumValue_);
}

Point UISlider::locationForValue(float value, const UIView* view) const
{
    Rect track = trackRectForBounds(bounds());
    Rect thumb = thumbRectForBounds(bounds(), track, value);
    Point guess = convertPointToView({ thumb.midX(), thumb.midY() }, view);
    if (!std::isfinite(value) || !(maximumValue_ > minimumValue_))
        return guess;
    float target = std::clamp(value, minimumValue_, maximumValue_);
    // While a finger drags the thumb, the thumb keeps its distance from the finger.
    float offset = isTracking() ? touchOffset_ : 0;
    guess.x += offset;
    auto valueAt = [&](float x) {
        Point location = convertPointFromView({ x, guess.y }, view);
        return valueForLocation({ location.x - offset, location.y });
    };
    // Float locations (and the conversion between views) step the value unevenly: look around
    // the estimate for the best one.
    float best = guess.x;
    float bestValue = valueAt(guess.x);
    auto better = [&](float candidate) {
        if (bestValue == target)
            return false;
        if (candidate == target)
            return true;
        if ((candidate > target) != (bestValue > target))
            return candidate > target;
        return std::fabs(candidate - target) < std::fabs(bestValue - target);
    };
    for (float direction : { std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() }) {
        float x = guess.x;
        for (int step = 0; step < 256 && bestValue != target; ++step) {
            x = std::nextafter(x, direction);
            float candidate = valueAt(x);
            if (better(candidate)) {
                best = x;
                bestValue = candidate;
            }
        }
    }
    return { best, guess.y };
}

void UISlider::follow(const UITouch& touch)
{
    Point location = touch.locationInView(this);
    float before = value_;
    setValue(valueForLocation({ location.x - touchOffset_, location.y }));
    if (value_ != before)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISlider::beginTrackingWithTouch(const UITouch& touch, const UIEvent*)
{
    Point location = touch.locationInView(this);
    Rect thumb = thumbRectForBounds(bounds(), trackRectForBounds(bounds()), value_);
    if (contains(thumb, location)) {
        touchOffset_ = location.x - thumb.midX();
    } else {
        touchOffset_ = 0;
        follow(touch);
    }
    return true;
}

bool UISlider::continueTrackingWithTouch(const UITouch& touch, const UIEvent*)
{
    follow(touch);
    return true;
}

void UISlider::endTrackingWithTouch(const UITouch* touch, const UIEvent*)
{
    if (touch)
        follow(*touch);
}

void UISlider::cancelTrackingWithEvent(const UIEvent*) { }

void UISlider::drawRect(const Rect&)
{
    Rect track = trackRectForBounds(bounds());
    Rect thumb = thumbRectForBounds(bounds(), track, value_);
    float split = std::clamp(thumb.midX(), track.minX(), track.maxX());
    float radius = kTrackHeight / 2;
    UIColor::colorWithWhite(0.72f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect(track, radius).fill();
    UIColor::colorWithRed(0.16f, 0.45f, 0.92f, 1).setFill();
    UIBezierPath::bezierPathWithRoundedRect({ track.x(), track.y(), split - track.x(), track.height() }, radius).fill();
    UIColor::colorWithWhite(0.55f, 1).setFill();
    UIBezierPath::bezierPathWithOvalInRect(thumb).fill();
    UIColor::whiteColor().setFill();
    UIBezierPath::bezierPathWithOvalInRect(inset(thumb, 1, 1)).fill();
}

} // namespace sv::ui
