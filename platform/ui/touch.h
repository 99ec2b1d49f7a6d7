#pragma once
// UITouch and UIEvent: one finger, located in the coordinates of the root view it touches.

#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

namespace sv::ui {

struct UIEvent { };

class UITouch {
public:
    explicit UITouch(Point windowLocation) : location_(windowLocation) { }

    // The touch point in a view's coordinates (null: the root's).
    Point locationInView(const UIView* view) const
    {
        return view ? view->convertPointFromView(location_, nullptr) : location_;
    }
    Point windowLocation() const { return location_; }
    void moveTo(Point windowLocation) { location_ = windowLocation; }

private:
    Point location_;
};

} // namespace sv::ui
