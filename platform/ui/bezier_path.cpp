#include "platform/ui/bezier_path.h"

#include "platform/ui/graphics_context.h"

#include <algorithm>
#include <limits>

namespace sv::ui {

UIBezierPath UIBezierPath::bezierPathWithRect(const Rect& rect)
{
    UIBezierPath path;
    path.elements_.push_back({ .kind = Element::Kind::Rect, .rect = rect });
    return path;
}

UIBezierPath UIBezierPath::bezierPathWithRoundedRect(const Rect& rect, float cornerRadius)
{
    UIBezierPath path;
    path.elements_.push_back({ .kind = Element::Kind::RoundedRect, .rect = rect, .radius = cornerRadius });
    return path;
}

UIBezierPath UIBezierPath::bezierPathWithOvalInRect(const Rect& rect)
{
    UIBezierPath path;
    path.elements_.push_back({ .kind = Element::Kind::Oval, .rect = rect });
    return path;
}

void UIBezierPath::moveToPoint(Point point)
{
    elements_.push_back({ .kind = Element::Kind::MoveTo, .point = point });
}

void UIBezierPath::addLineToPoint(Point point)
{
    elements_.push_back({ .kind = Element::Kind::LineTo, .point = point });
}

void UIBezierPath::closePath()
{
    elements_.push_back({ .kind = Element::Kind::Close });
}

void UIBezierPath::appendPath(const UIBezierPath& other)
{
    elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}

void UIBezierPath::fill() const
{
    callCurrentContext(&GraphicsContext::fillPath, *this);
}

void UIBezierPath::stroke() const
{
    callCurrentContext(&GraphicsContext::strokePath, *this);
}

Rect UIBezierPath::bounds() const
{
    float minX = std::numeric_limits<float>::max(), minY = minX;
    float maxX = std::numeric_limits<float>::lowest(), maxY = maxX;
    auto add = [&](Point p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    };
    for (const Element& e : elements_) {
        switch (e.kind) {
        case Element::Kind::MoveTo:
        case Element::Kind::LineTo:
            add(e.point);
            break;
        case Element::Kind::Rect:
        case Element::Kind::RoundedRect:
        case Element::Kind::Oval:
            add({ e.rect.minX(), e.rect.minY() });
            add({ e.rect.maxX(), e.rect.maxY() });
            break;
        case Element::Kind::Close:
            break;
        }
    }
    if (minX > maxX)
        return RectZero;
    return { minX, minY, maxX - minX, maxY - minY };
}

} // namespace sv::ui
