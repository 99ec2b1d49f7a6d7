#pragma once
// UIBezierPath: a path of sub-paths, filled or stroked into the current graphics context.
// Rectangles and rounded rectangles stay whole elements, so that recorded drawing can be
// compared by shape.

#include "platform/ui/geometry.h"

#include <vector>

namespace sv::ui {

class UIBezierPath {
public:
    struct Element {
        enum class Kind { MoveTo, LineTo, Close, Rect, RoundedRect, Oval };
        Kind kind;
        Point point {};   // MoveTo, LineTo
        Rect rect {};     // Rect, RoundedRect, Oval
        float radius = 0; // RoundedRect
        friend bool operator==(const Element&, const Element&) = default;
    };

    static UIBezierPath bezierPath() { return {}; }
    static UIBezierPath bezierPathWithRect(const Rect& rect);
    static UIBezierPath bezierPathWithRoundedRect(const Rect& rect, float cornerRadius);
    static UIBezierPath bezierPathWithOvalInRect(const Rect& rect);

    void moveToPoint(Point point);
    void addLineToPoint(Point point);
    void closePath();
    void appendPath(const UIBezierPath& other);

    float lineWidth() const { return lineWidth_; }
    void setLineWidth(float width) { lineWidth_ = width; }

    // Into the current graphics context, with its fill or stroke colour.
    void fill() const;
    void stroke() const;

    const std::vector<Element>& elements() const { return elements_; }
    // The smallest rectangle holding every point of the path.
    Rect bounds() const;

    friend bool operator==(const UIBezierPath&, const UIBezierPath&) = default;

private:
    std::vector<Element> elements_;
    float lineWidth_ = 1;
};

} // namespace sv::ui
