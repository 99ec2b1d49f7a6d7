#pragma once
// Points, sizes and rectangles of 32-bit floats, origin at the top left, y growing downwards.

#include <cmath>

namespace sv::ui {

struct Point {
    float x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    float width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(float x, float y, float width, float height) : origin { x, y }, size { width, height } { }

    float x() const { return origin.x; }
    float y() const { return origin.y; }
    float width() const { return size.width; }
    float height() const { return size.height; }
    float minX() const { return std::fmin(origin.x, origin.x + size.width); }
    float minY() const { return std::fmin(origin.y, origin.y + size.height); }
    float maxX() const { return std::fmax(origin.x, origin.x + size.width); }
    float maxY() const { return std::fmax(origin.y, origin.y + size.height); }
    float midX() const { return origin.x + size.width / 2; }
    float midY() const { return origin.y + size.height / 2; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr Rect RectZero {};

// CGRectInset: dx and dy taken off each side (negative values grow the rectangle).
inline Rect inset(const Rect& r, float dx, float dy)
{
    return { r.x() + dx, r.y() + dy, r.width() - 2 * dx, r.height() - 2 * dy };
}

inline Rect offset(const Rect& r, float dx, float dy)
{
    return { r.x() + dx, r.y() + dy, r.width(), r.height() };
}

inline bool contains(const Rect& r, Point p)
{
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

} // namespace sv::ui
