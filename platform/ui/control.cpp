#include "platform/ui/control.h"

namespace sv::ui {

bool UIControl::beginTrackingWithTouch(const UITouch&, const UIEvent*)
{
    return true;
}

bool UIControl::continueTrackingWithTouch(const UITouch&, const UIEvent*)
{
    return true;
}

void UIControl::endTrackingWithTouch(const UITouch*, const UIEvent*) { }

void UIControl::cancelTrackingWithEvent(const UIEvent*) { }

void UIControl::touchesBegan(const UITouch& touch, const UIEvent* event)
{
    // Handlers may drop the last other reference to this control.
    auto keep = shared_from_this();
    tracking_ = beginTrackingWithTouch(touch, event);
}

void UIControl::touchesMoved(const UITouch& touch, const UIEvent* event)
{
    if (!tracking_)
        return;
    auto keep = shared_from_this();
    tracking_ = continueTrackingWithTouch(touch, event);
}

void UIControl::touchesEnded(const UITouch& touch, const UIEvent* event)
{
    if (!tracking_)
        return;
    auto keep = shared_from_this();
    tracking_ = false;
    endTrackingWithTouch(&touch, event);
    if (contains(bounds(), touch.locationInView(this)))
        sendActionsForControlEvents(UIControlEventTouchUpInside);
}

void UIControl::touchesCancelled(const UIEvent* event)
{
    if (!tracking_)
        return;
    auto keep = shared_from_this();
    tracking_ = false;
    cancelTrackingWithEvent(event);
}

void UIControl::addTarget(Action action, unsigned controlEvents)
{
    if (action)
        actions_.emplace_back(controlEvents, std::move(action));
}

void UIControl::sendActionsForControlEvents(unsigned controlEvents)
{
    auto keep = shared_from_this();
    auto actions = actions_;
    for (auto& [events, action] : actions)
        if (events & controlEvents)
            action(*this);
}

} // namespace sv::ui
