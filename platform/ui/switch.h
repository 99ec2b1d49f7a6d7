#pragma once
// UISwitch: an on/off control of fixed size; a tap toggles it and sends ValueChanged.

#include "platform/ui/control.h"

namespace sv::ui {

class UISwitch : public UIControl {
public:
    static constexpr Size kSize { 79, 27 };

    // The frame's size is ignored: a switch is always kSize.
    static std::shared_ptr<UISwitch> initWithFrame(const Rect& frame);

    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false);

    bool beginTrackingWithTouch(const UITouch& touch, const UIEvent* event) override;
    void endTrackingWithTouch(const UITouch* touch, const UIEvent* event) override;

protected:
    void drawRect(const Rect& rect) override;
    UISwitch() = default;
    bool setUpWithFrame(const Rect& frame);

private:
    bool on_ = false;
};

} // namespace sv::ui
