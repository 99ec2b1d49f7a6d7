#pragma once
// What the pictures of runs and of replays draw alike: labels in the house font, round steps.

#include "platform/ui/cairo_font.h"

#include <cairo.h>
#include <cmath>
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

// Text with its baseline at y, aligned by alignX (0 left, 0.5 centre, 1 right) at x.
inline void drawText(cairo_t* c, const std::string& s, double x, double y, double size, double alignX = 0,
                     bool bold = false)
{
    cairo_set_font_face(c, sv::ui::detail::fontFace(bold ? sv::ui::UIFont::Weight::Bold : sv::ui::UIFont::Weight::Regular));
    cairo_set_font_size(c, size);
    cairo_text_extents_t extents;
    cairo_text_extents(c, s.c_str(), &extents);
    cairo_move_to(c, x - extents.x_advance * alignX, y);
    cairo_show_text(c, s.c_str());
}

} // namespace device
