#include "hosts/device/timeline_picture.h"

#include "hosts/device/chart_text.h"

#include "platform/foundation/files.h"
#include "platform/ui/cairo_font.h"
#include "platform/ui/image.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>

namespace device {
namespace {

    struct Rgb {
        double r, g, b;
    };
    constexpr Rgb kInk { 0.20, 0.20, 0.22 };
    constexpr Rgb kGrid { 0.88, 0.88, 0.90 };
    constexpr Rgb kFree { 0.10, 0.42, 0.80 };
    constexpr Rgb kThreshold { 0.82, 0.18, 0.16 };
    constexpr Rgb kCall { 0.98, 0.68, 0.10 };
    constexpr Rgb kClose { 0.35, 0.18, 0.55 };
    constexpr double kShortDash[] = { 3, 3 };
    constexpr double kLongDash[] = { 8, 5 };

    // Where the plot sits in the picture, and how time and megabytes map onto it.
    struct Frame {
        double left = 80, top = 70, right = kTimelineWidth - 40, bottom = kTimelineHeight - 70;
        double seconds = 1, megabytes = 100;
        double x(double time) const { return left + (right - left) * time / seconds; }
        double y(double mb) const { return bottom - (bottom - top) * std::clamp(mb, 0.0, megabytes) / megabytes; }
    };

    void color(cairo_t* c, Rgb rgb, double alpha = 1) { cairo_set_source_rgba(c, rgb.r, rgb.g, rgb.b, alpha); }

    void text(cairo_t* c, const std::string& s, double x, double y, double size, double alignX = 0, bool bold = false)
    {
        device::drawText(c, s, x, y, size, alignX, bold);
    }

    std::string format(const char* pattern, double value)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, pattern, value);
        return buffer;
    }

    std::vector<Timeline::Point> sorted(std::vector<Timeline::Point> points)
    {
        std::stable_sort(points.begin(), points.end(), [](auto& a, auto& b) { return a.time < b.time; });
        return points;
    }

    // The value of a stepped series at a time (the last step at or before it).
    std::optional<double> valueAt(const std::vector<Timeline::Point>& series, double time, bool before = false)
    {
        std::optional<double> value;
        for (const auto& point : series)
            if (point.time < time || (!before && point.time == time))
                value = point.value;
        return value;
    }

    void axes(cairo_t* c, const Frame& f)
    {
        cairo_set_line_width(c, 1);
        double mbStep = niceStep(f.megabytes, 6);
        for (double mb = 0; mb <= f.megabytes + 1e-9; mb += mbStep) {
            color(c, kGrid);
            cairo_move_to(c, f.left, std::round(f.y(mb)) + 0.5);
            cairo_line_to(c, f.right, std::round(f.y(mb)) + 0.5);
            cairo_stroke(c);
            color(c, kInk);
            text(c, format("%.0f", mb), f.left - 8, f.y(mb) + 5, 13, 1);
        }
        double tStep = niceStep(f.seconds, 12);
        for (double t = 0; t <= f.seconds + 1e-9; t += tStep) {
            color(c, kGrid);
            cairo_move_to(c, std::round(f.x(t)) + 0.5, f.top);
            cairo_line_to(c, std::round(f.x(t)) + 0.5, f.bottom);
            cairo_stroke(c);
            color(c, kInk);
            text(c, format(tStep < 1 ? "%.1f" : "%.0f", t), f.x(t), f.bottom + 20, 13, 0.5);
        }
        color(c, kInk);
        cairo_rectangle(c, f.left + 0.5, f.top + 0.5, f.right - f.left - 1, f.bottom - f.top - 1);
        cairo_stroke(c);
        text(c, "seconds since the start of the run", (f.left + f.right) / 2, f.bottom + 46, 14, 0.5);
        cairo_save(c);
        cairo_translate(c, 26, (f.top + f.bottom) / 2);
        cairo_rotate(c, -M_PI / 2);
        text(c, "free memory (MB)", 0, 0, 14, 0.5);
        cairo_restore(c);
    }

    // A stepped line through the series to the end of the run.
    void steps(cairo_t* c, const Frame& f, const std::vector<Timeline::Point>& series)
    {
        for (std::size_t i = 0; i < series.size(); ++i) {
            double x = f.x(series[i].time), y = f.y(series[i].value);
            if (i == 0)
                cairo_move_to(c, x, y);
            else
                cairo_line_to(c, x, y);
            cairo_line_to(c, i + 1 < series.size() ? f.x(series[i + 1].time) : f.right, y);
        }
    }

    void calls(cairo_t* c, const Frame& f, const Timeline& timeline)
    {
        for (const auto& call : timeline.calls()) {
            double x0 = f.x(call.start), x1 = call.end ? f.x(*call.end) : f.right;
            color(c, kCall, 0.22);
            cairo_rectangle(c, x0, f.top, std::max(2.0, x1 - x0), f.bottom - f.top);
            cairo_fill(c);
            color(c, kCall, 0.9);
            cairo_rectangle(c, x0, f.top, std::max(2.0, x1 - x0), 4);
            cairo_fill(c);
            color(c, kInk);
            text(c, "call " + call.kind, x0 + 4, f.top + 18, 12);
        }
    }

    double textWidth(cairo_t* c, const std::string& s, double size, bool bold)
    {
        cairo_set_font_face(c, sv::ui::detail::fontFace(bold ? sv::ui::UIFont::Weight::Bold : sv::ui::UIFont::Weight::Regular));
        cairo_set_font_size(c, size);
        cairo_text_extents_t extents;
        cairo_text_extents(c, s.c_str(), &extents);
        return extents.x_advance;
    }

    void closes(cairo_t* c, const Frame& f, const Timeline& timeline, const std::vector<Timeline::Point>& free)
    {
        // Where the labels of each line end so far: a label takes the first line it fits on.
        constexpr int kLines = 5;
        double ends[kLines];
        std::fill(std::begin(ends), std::end(ends), -1e9);
        for (const auto& close : timeline.closes()) {
            double x = f.x(close.time);
            double y = f.y(valueAt(free, close.time, true).value_or(0));
            int line = 0;
            while (line + 1 < kLines && ends[line] > x)
                ++line;
            ends[line] = x + 4 + textWidth(c, close.label, 12, true) + 10;
            double labelY = f.top + 40 + 18 * line;
            color(c, kClose, 0.6);
            cairo_set_line_width(c, 1);
            cairo_set_dash(c, kShortDash, 2, 0);
            cairo_move_to(c, x, labelY + 4);
            cairo_line_to(c, x, y);
            cairo_stroke(c);
            cairo_set_dash(c, nullptr, 0, 0);
            color(c, kClose);
            cairo_arc(c, x, y, 5, 0, 2 * M_PI);
            cairo_fill(c);
            text(c, close.label, x + 4, labelY, 12, 0, true);
        }
    }

    void legend(cairo_t* c, const Frame& f, const Timeline& timeline)
    {
        color(c, kInk);
        text(c, "Free memory over the run", f.left, 34, 20, 0, true);
        std::string counts = std::to_string(timeline.closes().size()) + " closed, "
            + std::to_string(timeline.calls().size()) + (timeline.calls().size() == 1 ? " call" : " calls");
        text(c, counts, f.left, 56, 13);
        double x = f.right - 430;
        auto swatch = [&](Rgb rgb, double alpha, bool dashed, bool box, const char* name) {
            color(c, rgb, alpha);
            if (box) {
                cairo_rectangle(c, x, 38, 24, 14);
                cairo_fill(c);
            } else {
                cairo_set_line_width(c, 2.5);
                if (dashed)
                    cairo_set_dash(c, kLongDash, 2, 0);
                cairo_move_to(c, x, 45);
                cairo_line_to(c, x + 24, 45);
                cairo_stroke(c);
                cairo_set_dash(c, nullptr, 0, 0);
            }
            color(c, kInk);
            text(c, name, x + 30, 50, 13);
            x += 110;
        };
        swatch(kFree, 1, false, false, "free");
        swatch(kThreshold, 1, true, false, "threshold");
        swatch(kCall, 0.35, false, true, "call");
        color(c, kClose);
        cairo_arc(c, x + 12, 45, 5, 0, 2 * M_PI);
        cairo_fill(c);
        color(c, kInk);
        text(c, "closed", x + 30, 50, 13);
    }

} // namespace

bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath)
{
    auto image = sv::ui::Image::create(kTimelineWidth, kTimelineHeight);
    if (!image)
        return false;
    auto free = sorted(timeline.freeMemory());
    auto threshold = sorted(timeline.threshold());
    Frame f;
    f.seconds = std::max(1.0, timeline.end());
    double highest = 0;
    for (const auto* series : { &free, &threshold })
        for (const auto& point : *series)
            highest = std::max(highest, point.value);
    double step = niceStep(std::max(highest, 50.0) * 1.1, 6);
    f.megabytes = std::ceil(std::max(highest, 50.0) * 1.1 / step) * step;

    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    cairo_set_font_options(c, sv::ui::detail::fontOptions());
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);
    calls(c, f, timeline);
    axes(c, f);

    if (!free.empty()) {
        // The area under the line, faintly, then the line.
        steps(c, f, free);
        cairo_line_to(c, f.right, f.bottom);
        cairo_line_to(c, f.x(free.front().time), f.bottom);
        cairo_close_path(c);
        color(c, kFree, 0.10);
        cairo_fill(c);
        steps(c, f, free);
        color(c, kFree);
        cairo_set_line_width(c, 2.5);
        cairo_stroke(c);
    }
    if (!threshold.empty()) {
        steps(c, f, threshold);
        color(c, kThreshold);
        cairo_set_line_width(c, 2);
        cairo_set_dash(c, kLongDash, 2, 0);
        cairo_stroke(c);
        cairo_set_dash(c, nullptr, 0, 0);
        text(c, format("threshold %.0f MB", threshold.back().value), f.right - 6, f.y(threshold.back().value) - 6, 12,
             1);
    }
    closes(c, f, timeline, free);
    legend(c, f, timeline);
    cairo_destroy(c);
    image->markDirty();

    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(hostPath, png->data(), png->size());
}

} // namespace device
