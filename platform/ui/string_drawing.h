#pragma once
// Text measurement and drawing (NSString's UIKit additions), and the line layout both drawing
// backends share.

#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/text_style.h"

#include <string>
#include <string_view>
#include <vector>

namespace sv::ui {

// sizeWithFont: the size of the text on one line, rounded up to whole points.
Size sizeWithFont(std::string_view text, const UIFont& font);
// The size of the text laid out in at most the given size (a height of 0: no limit).
Size sizeWithFont(std::string_view text, const UIFont& font, Size constraint, LineBreakMode mode);

// Draw into the current graphics context in its fill colour; answer the size drawn (zero when
// no context is current).
Size drawInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode,
                TextAlignment alignment);
// One line from the point, cut to the width as the mode says.
Size drawAtPoint(std::string_view text, Point point, float width, const UIFont& font, LineBreakMode mode);

struct TextLine {
    std::string text;
    float width = 0;
};

// The lines that text occupies in a box of the given width (no limit when 0) and height (no limit
// when 0): wrapping modes break at words or graphemes, the others keep each paragraph on one
// line and truncate it to the width with an ellipsis at its logical end (Clip cuts nothing). At least one line
// stands even when the height is smaller than a line.
std::vector<TextLine> layoutText(std::string_view text, const UIFont& font, float width, float height,
                                 LineBreakMode mode);

// The first grapheme of the text, as a person sees one character: a letter with its marks, a
// family emoji, a flag. A byte that starts no valid UTF-8 sequence stands alone.
std::string_view firstGrapheme(std::string_view text);

// The text with every invalid UTF-8 sequence replaced, so that no drawing backend chokes on it.
std::string sanitizedUtf8(std::string_view text);

} // namespace sv::ui
