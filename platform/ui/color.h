#pragma once
// UIColor: a colour with alpha, components 0..1, not premultiplied.

namespace sv::ui {

class UIColor {
public:
    constexpr UIColor() = default;
    constexpr UIColor(float r, float g, float b, float a) : red(r), green(g), blue(b), alpha(a) { }

    static constexpr UIColor colorWithWhite(float white, float alpha) { return { white, white, white, alpha }; }
    static constexpr UIColor colorWithRed(float r, float g, float b, float a) { return { r, g, b, a }; }
    static constexpr UIColor clearColor() { return { 0, 0, 0, 0 }; }
    static constexpr UIColor blackColor() { return { 0, 0, 0, 1 }; }
    static constexpr UIColor whiteColor() { return { 1, 1, 1, 1 }; }
    static constexpr UIColor blueColor() { return { 0, 0, 1, 1 }; }
    static constexpr UIColor redColor() { return { 1, 0, 0, 1 }; }
    static constexpr UIColor lightGrayColor() { return { 2.f / 3, 2.f / 3, 2.f / 3, 1 }; }
    static constexpr UIColor darkGrayColor() { return { 1.f / 3, 1.f / 3, 1.f / 3, 1 }; }

    // Into the current graphics context: the fill colour, the stroke colour, or both.
    void setFill() const;
    void setStroke() const;
    void set() const;

    friend bool operator==(const UIColor&, const UIColor&) = default;

    float red = 0, green = 0, blue = 0, alpha = 0;
};

} // namespace sv::ui
