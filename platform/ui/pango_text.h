#pragma once
// The one place that shapes text: Pango with HarfBuzz, bidirectional text and fontconfig's
// fallback to other fonts for what DejaVu Sans lacks. The font map, the context and the layouts
// are made once for the process and shared under one lock, since Pango's objects are not meant
// for several threads at once; making them per call would cost the home screen dearly, and so
// short lines once shaped are kept (a few hundred) to be measured and drawn again.

#include "platform/ui/font.h"

#include <cairo.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sv::ui::detail {

struct FontMetrics {
    float ascent = 0;
    float descent = 0; // positive: below the baseline
};

// The primary face's metrics at the font's size, remembered per size.
FontMetrics fontMetrics(const UIFont& font);

// The advance width of valid UTF-8 text shaped on one line (newlines included as glyphs).
float shapedWidth(std::string_view text, const UIFont& font);

// Paints valid UTF-8 text as one line, its baseline starting at (x, baseline), in cr's current
// source. The line's direction follows its first strong character.
void showShapedLine(cairo_t* cr, std::string_view text, const UIFont& font, double x, double baseline);

struct WrappedLine {
    std::size_t start = 0; // byte range of the paragraph this line holds
    std::size_t length = 0;
};

// Where a paragraph of valid UTF-8 text breaks to fit a width: at words (or, for a word wider
// than the line, between graphemes) or between graphemes only.
std::vector<WrappedLine> wrapParagraph(std::string_view paragraph, const UIFont& font, float width, bool atWords);

// Byte offsets where the grapheme clusters of valid UTF-8 text start, plus its end: what a
// person sees as one character (a letter with its marks, a family emoji).
std::vector<std::size_t> graphemeBoundaries(std::string_view text);

} // namespace sv::ui::detail
