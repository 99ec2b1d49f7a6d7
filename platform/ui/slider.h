#pragma once
// UISlider: a value between a minimum and a maximum, shown as a thumb on a track.
//
// Tracking: a touch that begins on the thumb drags it, keeping the finger's offset from the
// thumb's centre; a touch that begins elsewhere on the slider first moves the thumb's centre to
// the finger. The value follows the finger at every move (continuous).

#include "platform/ui/control.h"

namespace sv::ui {

class NSCoder;

class UISlider : public UIControl {
public:
    static constexpr Size kThumbSize { 23, 23 };
    static constexpr float kTrackHeight = 9;

    static std::shared_ptr<UISlider> initWithFrame(const Rect& frame);
    static std::shared_ptr<UISlider> initWithCoder(const NSCoder& coder);

    float value() const { return value_; }
    // Kept between the minimum and the maximum; no action is sent for a value set by program.
    void setValue(float value);
    float minimumValue() const { return minimumValue_; }
    void setMinimumValue(float value);
    float maximumValue() const { return maximumValue_; }
    void setMaximumValue(float value);

    virtual Rect trackRectForBounds(const Rect& bounds) const;
    virtual Rect thumbRectForBounds(const Rect& bounds, const Rect& trackRect, float value) const;

    // For hosts that simulate a finger: the value the thumb's centre at a location (in the
    // slider's coordinates) stands for, and a location in a view's coordinates (null: the
    // root's) whose value is the given value exactly when a float location can give it (else
    // the nearest above it).
    float valueForLocation(Point location) const;
    Point locationForValue(float value, const UIView* view) const;

    bool beginTrackingWithTouch(const UITouch& touch, const UIEvent* event) override;
    bool continueTrackingWithTouch(const UITouch& touch, const UIEvent* event) override;
    void endTrackingWithTouch(const UITouch* touch, const UIEvent* event) override;
    void cancelTrackingWithEvent(const UIEvent* event) override;

protected:
    void drawRect(const Rect& rect) override;
    UISlider() = default;
    bool setUpWithFrame(const Rect& frame);
    bool setUpWithCoder(const NSCoder& coder);

private:
    // Moves one end of the range; the value follows it to stay within.
    void setLimit(float& limit, float value, float (*keepWithin)(float current, float limit));

    void follow(const UITouch& touch);

    float value_ = 0;
    float minimumValue_ = 0;
    float maximumValue_ = 1;
    float touchOffset_ = 0;
};

} // namespace sv::ui
