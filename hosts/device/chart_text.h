#pragma once
// What the pictures of runs and of replays draw alike: labels in the house font, round steps.

#include "platform/ui/font.h"
#include "platform/ui/pango_text.h"

#include <cairo.h>
#include <cmath>
#include <cstddef>
#include <string>

namespace device {

// A round step (1, 2 or 5 times a power of ten) that cuts span into about count parts.
inline double niceStep(double span, int count)
{
    double raw = span / count;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : { 1.0, 2.0, 5.0 })
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

// "1 close", "2 closes": a count and its noun.
inline std::string counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The house font at a size, in pixels.
inline sv::ui::UIFont chartFont(double size, bool bold = false)
{
    auto points = static_cast<float>(size);
    return bold ? sv::ui::UIFont::boldSystemFontOfSize(points) : sv::ui::UIFont::systemFontOfSize(points);
}

// Text with its baseline at y, aligned by alignX (0 left, 0.5 centre, 1 right) at x.
inline void drawText(cairo_t* c, const std::string& s, double x, double y, double size, double alignX = 0,
                     bool bold = false)
{
    auto font = chartFont(size, bold);
    sv::ui::detail::showShapedLine(c, s, font, x - sv::ui::detail::shapedWidth(s, font) * alignX, y);
}

} // namespace device
