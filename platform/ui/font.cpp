#include "platform/ui/font.h"

#include "platform/ui/pango_text.h"

#include <cmath>

namespace sv::ui {

float UIFont::ascender() const
{
    return detail::fontMetrics(*this).ascent;
}

float UIFont::descender() const
{
    return detail::fontMetrics(*this).descent;
}

float UIFont::lineHeight() const
{
    return ascender() + descender();
}

float UIFont::widthOfText(std::string_view text) const
{
    float width = detail::shapedWidth(text, *this);
    return std::isfinite(width) ? width : 0;
}

} // namespace sv::ui
