#pragma once
// UIFont: a face and a point size. Metrics come from DejaVu Sans; widths from the text shaped as
// it is drawn (other fonts stand in for the scripts DejaVu Sans lacks), so that layout matches
// what the renderer draws.

#include "platform/ui/geometry.h"

#include <string_view>

namespace sv::ui {

class UIFont {
public:
    enum class Weight { Regular, Bold };

    static UIFont systemFontOfSize(float size) { return UIFont(Weight::Regular, size); }
    static UIFont boldSystemFontOfSize(float size) { return UIFont(Weight::Bold, size); }

    Weight weight() const { return weight_; }
    bool isBold() const { return weight_ == Weight::Bold; }
    float pointSize() const { return pointSize_; }
    UIFont fontWithSize(float size) const { return UIFont(weight_, size); }

    // Above and below the baseline, and the height of one line, in points.
    float ascender() const;
    float descender() const; // positive: the depth below the baseline
    float lineHeight() const;

    // The advance width of text shaped on one line, unrounded.
    float widthOfText(std::string_view text) const;

    friend bool operator==(const UIFont&, const UIFont&) = default;

private:
    UIFont(Weight weight, float size) : weight_(weight), pointSize_(size > 0 ? size : 0) { }

    Weight weight_;
    float pointSize_;
};

} // namespace sv::ui
