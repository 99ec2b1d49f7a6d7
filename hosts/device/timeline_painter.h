#pragma once
// What the picture of a run draws with: its colours, where the plot sits, and a painter that
// keeps the box of every text it draws, so that no later text lands on an earlier one.

#include "hosts/device/chart_text.h"
#include "hosts/device/timeline_picture.h"

#include "platform/ui/pango_text.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <string>
#include <vector>

namespace device {

struct Rgb {
    double r, g, b;
};
inline constexpr Rgb kWhite { 1, 1, 1 };
inline constexpr Rgb kInk { 0.20, 0.20, 0.22 };
inline constexpr Rgb kGrid { 0.88, 0.88, 0.90 };
inline constexpr Rgb kFree { 0.10, 0.42, 0.80 };
inline constexpr Rgb kThreshold { 0.82, 0.18, 0.16 };
inline constexpr Rgb kCall { 0.98, 0.68, 0.10 };
inline constexpr Rgb kClose { 0.35, 0.18, 0.55 };
inline constexpr double kCallShade = 0.22;
inline constexpr double kFreeShade = 0.10; // the area under the free-memory line

// A colour laid over another with the given opacity, as the eye sees it.
inline Rgb blend(Rgb under, Rgb over, double alpha)
{
    return { under.r + alpha * (over.r - under.r), under.g + alpha * (over.g - under.g),
             under.b + alpha * (over.b - under.b) };
}

// Where the plot sits in the picture, and how time and megabytes map onto it. The band of close
// labels lies between the legend and the plot's top.
struct Frame {
    static constexpr double kBandTop = 72, kRow = 18;
    double left = 80, top = 70, right = kTimelineWidth - 40, bottom = kTimelineHeight - 70;
    double seconds = 1, megabytes = 100;
    double x(double time) const { return left + (right - left) * time / seconds; }
    double y(double mb) const { return bottom - (bottom - top) * std::clamp(mb, 0.0, megabytes) / megabytes; }
    // Where the step from point i of a stepped series ends: at the next point, else at the end of
    // the run; a call still going also runs to the end.
    double stepEnd(const std::vector<Timeline::Point>& series, std::size_t i) const
    {
        return i + 1 < series.size() ? x(series[i + 1].time) : right;
    }
    double callEnd(const Timeline::Call& call) const { return call.end ? x(*call.end) : right; }
    // The baseline of a row of the band.
    static double bandRow(int row) { return kBandTop + 13 + kRow * row; }
    bool inside(const TimelineLabel& box) const
    {
        return box.x >= left + 2 && box.x + box.width <= right - 2 && box.y >= top + 2 && box.y + box.height <= bottom - 2;
    }
};

inline bool overlaps(const TimelineLabel& a, const TimelineLabel& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Draws text and keeps the box of every label drawn. A text inside the plot is drawn on a patch
// of its background, so that no line runs through its letters.
class Painter {
public:
    Painter(cairo_t* c, std::vector<TimelineLabel>& drawn) : c_(c), drawn_(drawn) { }
    cairo_t* cairo() const { return c_; }

    void color(Rgb rgb, double alpha = 1) { cairo_set_source_rgba(c_, rgb.r, rgb.g, rgb.b, alpha); }

    static double width(const std::string& s, double size, bool bold = false) { return chartFont(size, bold).widthOfText(s); }
    // The box text would take with its baseline at y, alignX of its width left of x.
    static TimelineLabel box(const std::string& s, double x, double y, double size, double alignX = 0, bool bold = false)
    {
        auto f = chartFont(size, bold);
        double w = f.widthOfText(s);
        return { s, x - w * alignX, y - f.ascender(), w, f.lineHeight() };
    }
    bool fits(const TimelineLabel& label) const
    {
        return std::none_of(drawn_.begin(), drawn_.end(), [&](auto& other) { return overlaps(label, other); });
    }

    void text(const std::string& s, double x, double y, double size, double alignX = 0, bool bold = false)
    {
        TimelineLabel label = box(s, x, y, size, alignX, bold);
        sv::ui::detail::showShapedLine(c_, s, chartFont(size, bold), label.x, y);
        drawn_.push_back(label);
    }
    // The same on a patch of the background colour, a pixel wider than the text all round.
    void patchedText(const std::string& s, double x, double y, double size, Rgb ink, Rgb background,
                     double alignX = 0, bool bold = false)
    {
        TimelineLabel label = box(s, x, y, size, alignX, bold);
        color(background);
        cairo_rectangle(c_, std::floor(label.x) - 1, std::floor(label.y) - 1, std::ceil(label.width) + 3,
                        std::ceil(label.height) + 3);
        cairo_fill(c_);
        color(ink);
        text(s, x, y, size, alignX, bold);
    }
    // Text turned a quarter left, centred on (x, y) along the turned baseline.
    void upwardText(const std::string& s, double x, double y, double size)
    {
        auto f = chartFont(size);
        double w = f.widthOfText(s);
        cairo_save(c_);
        cairo_translate(c_, x, y);
        cairo_rotate(c_, -M_PI / 2);
        sv::ui::detail::showShapedLine(c_, s, f, -w / 2, 0);
        cairo_restore(c_);
        drawn_.push_back({ s, x - f.ascender(), y - w / 2, f.lineHeight(), w });
    }

private:
    cairo_t* c_;
    std::vector<TimelineLabel>& drawn_;
};

} // namespace device
