#pragma once
// UIControl: a view that tracks a touch through four overridable handlers and sends actions.

#include "platform/ui/touch.h"
#include "platform/ui/view.h"

#include <functional>
#include <vector>

namespace sv::ui {

enum UIControlEvents : unsigned {
    UIControlEventTouchUpInside = 1u << 6,
    UIControlEventValueChanged = 1u << 12,
};

class UIControl : public UIView {
public:

    // Tracking handlers, called by the touch delivery below. Begin and continue answer whether
    // tracking goes on.
    virtual bool beginTrackingWithTouch(const UITouch& touch, const UIEvent* event);
    virtual bool continueTrackingWithTouch(const UITouch& touch, const UIEvent* event);
    virtual void endTrackingWithTouch(const UITouch* touch, const UIEvent* event);
    virtual void cancelTrackingWithEvent(const UIEvent* event);
    bool isTracking() const { return tracking_; }

    // Delivery of one finger's touch that began on this control, as the window does it.
    void touchesBegan(const UITouch& touch, const UIEvent* event);
    void touchesMoved(const UITouch& touch, const UIEvent* event);
    void touchesEnded(const UITouch& touch, const UIEvent* event);
    void touchesCancelled(const UIEvent* event);

    using Action = std::function<void(UIControl& sender)>;
    void addTarget(Action action, unsigned controlEvents);
    void sendActionsForControlEvents(unsigned controlEvents);

protected:
    UIControl() = default;

private:
    bool tracking_ = false;
    std::vector<std::pair<unsigned, Action>> actions_;
};

} // namespace sv::ui
