#pragma once
// The cairo side of UIFont, shared by the font metrics and the cairo drawing backend.

#include "platform/ui/font.h"

#include <cairo.h>

namespace sv::ui::detail {

// The face of a weight: DejaVu Sans (Bold) from its file, or cairo's own sans face when the
// file cannot be read. Owned here for the life of the process.
cairo_font_face_t* fontFace(UIFont::Weight weight);
// Options that keep metrics linear in the size: no hinting.
const cairo_font_options_t* fontOptions();
// A scaled font for measuring, owned here.
cairo_scaled_font_t* scaledFont(const UIFont& font);

} // namespace sv::ui::detail
