#include "hosts/device/timeline_picture.h"

#include "hosts/device/chart_text.h"

#include "platform/foundation/files.h"
#include "platform/ui/image.h"
#include "platform/ui/pango_text.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <numeric>

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
    // Rows of close labels under the top of the plot, then the row of the summed stretches.
    constexpr int kLabelRows = 5;
    constexpr double kLabelGap = 10;

    // The unit of the time axis: seconds for a short run, minutes or hours for a long one.
    struct TimeUnit {
        double seconds;
        const char* title;
    };
    TimeUnit timeUnit(double span)
    {
        if (span >= 2 * 3600)
            return { 3600, "hours since the start of the run" };
        if (span >= 10 * 60)
            return { 60, "minutes since the start of the run" };
        return { 1, "seconds since the start of the run" };
    }

    // Where the plot sits in the picture, and how time and megabytes map onto it.
    struct Frame {
        double left = 80, top = 70, right = kTimelineWidth - 40, bottom = kTimelineHeight - 70;
        double seconds = 1, megabytes = 100;
        double x(double time) const { return left + (right - left) * time / seconds; }
        double y(double mb) const { return bottom - (bottom - top) * std::clamp(mb, 0.0, megabytes) / megabytes; }
        double labelRow(int row) const { return top + 40 + 18 * row; }
    };

    bool overlaps(const TimelineLabel& a, const TimelineLabel& b)
    {
        return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
    }

    // Draws text and keeps the box of every label drawn.
    class Painter {
    public:
        Painter(cairo_t* c, std::vector<TimelineLabel>& drawn) : c_(c), drawn_(drawn) { }
        cairo_t* cairo() const { return c_; }

        void color(Rgb rgb, double alpha = 1) { cairo_set_source_rgba(c_, rgb.r, rgb.g, rgb.b, alpha); }

        static sv::ui::UIFont font(double size, bool bold)
        {
            auto points = static_cast<float>(size);
            return bold ? sv::ui::UIFont::boldSystemFontOfSize(points) : sv::ui::UIFont::systemFontOfSize(points);
        }
        static double width(const std::string& s, double size, bool bold = false)
        {
            return font(size, bold).widthOfText(s);
        }
        // The box text would take with its baseline at y, alignX of its width left of x.
        static TimelineLabel box(const std::string& s, double x, double y, double size, double alignX = 0,
                                 bool bold = false)
        {
            auto f = font(size, bold);
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
            sv::ui::detail::showShapedLine(c_, s, font(size, bold), label.x, y);
            drawn_.push_back(label);
        }
        // Text turned a quarter left, centred on (x, y) along the turned baseline.
        void upwardText(const std::string& s, double x, double y, double size)
        {
            auto f = font(size, false);
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

    std::string format(const char* pattern, double value)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, pattern, value);
        return buffer;
    }

    std::string counted(std::size_t count, const char* one, const char* many)
    {
        return std::to_string(count) + " " + (count == 1 ? one : many);
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
        for (const auto& point : series) {
            if (point.time < time || (!before && point.time == time))
                value = point.value;
            else
                break;
        }
        return value;
    }

    void axes(Painter& p, const Frame& f, const TimeUnit& unit, double tStep)
    {
        cairo_t* c = p.cairo();
        cairo_set_line_width(c, 1);
        double mbStep = device::niceStep(f.megabytes, 6);
        for (double mb = 0; mb <= f.megabytes + 1e-9; mb += mbStep) {
            p.color(kGrid);
            cairo_move_to(c, f.left, std::round(f.y(mb)) + 0.5);
            cairo_line_to(c, f.right, std::round(f.y(mb)) + 0.5);
            cairo_stroke(c);
            p.color(kInk);
            p.text(format("%.0f", mb), f.left - 8, f.y(mb) + 5, 13, 1);
        }
        double span = f.seconds / unit.seconds;
        for (double t = 0; t <= span + 1e-9; t += tStep) {
            double x = f.x(t * unit.seconds);
            p.color(kGrid);
            cairo_move_to(c, std::round(x) + 0.5, f.top);
            cairo_line_to(c, std::round(x) + 0.5, f.bottom);
            cairo_stroke(c);
            p.color(kInk);
            // A bare 0 keeps clear of the megabytes' 0 beside it.
            p.text(t == 0 ? "0" : format(tStep < 1 ? "%.1f" : "%.0f", t), x, f.bottom + 20, 13, 0.5);
        }
        p.color(kInk);
        cairo_rectangle(c, f.left + 0.5, f.top + 0.5, f.right - f.left - 1, f.bottom - f.top - 1);
        cairo_stroke(c);
        p.text(unit.title, (f.left + f.right) / 2, f.bottom + 46, 14, 0.5);
        p.upwardText("free memory (MB)", 26, (f.top + f.bottom) / 2, 14);
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

    // Each call as a span; its label only where it stays clear of the one before.
    void calls(Painter& p, const Frame& f, const Timeline& timeline)
    {
        cairo_t* c = p.cairo();
        double labelsEnd = -1e9;
        for (const auto& call : timeline.calls()) {
            double x0 = f.x(call.start), x1 = call.end ? f.x(*call.end) : f.right;
            p.color(kCall, 0.22);
            cairo_rectangle(c, x0, f.top, std::max(2.0, x1 - x0), f.bottom - f.top);
            cairo_fill(c);
            p.color(kCall, 0.9);
            cairo_rectangle(c, x0, f.top, std::max(2.0, x1 - x0), 4);
            cairo_fill(c);
            std::string label = "call " + call.kind;
            double width = Painter::width(label, 12);
            if (x0 + 4 < labelsEnd || x0 + 4 + width > kTimelineWidth - 4)
                continue;
            p.color(kInk);
            p.text(label, x0 + 4, f.top + 18, 12);
            labelsEnd = x0 + 4 + width + kLabelGap;
        }
    }

    void marker(cairo_t* c, double x, double y, double radius)
    {
        cairo_arc(c, x, y, radius, 0, 2 * M_PI);
        cairo_fill(c);
    }

    // Closes stretch by stretch of the time axis: a stretch whose labels all find room on a row
    // is labelled close by close; the closes of any other are summed on the row below ("12
    // closes"), so that a long day's hundreds of closes never pile into a bar.
    void closes(Painter& p, const Frame& f, const Timeline& timeline, const std::vector<Timeline::Point>& free,
                double stretchSeconds)
    {
        cairo_t* c = p.cairo();
        const auto& all = timeline.closes();
        std::vector<std::size_t> order(all.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return all[a].time < all[b].time; });
        auto markerY = [&](const Timeline::Close& close) { return f.y(valueAt(free, close.time, true).value_or(0)); };

        std::vector<double> ends(kLabelRows, -1e9); // where each row's labels end so far
        double summaryEnd = -1e9;
        for (std::size_t first = 0; first < order.size();) {
            auto stretch = static_cast<long>(std::floor(all[order[first]].time / stretchSeconds));
            std::size_t last = first;
            while (last < order.size() && static_cast<long>(std::floor(all[order[last]].time / stretchSeconds)) == stretch)
                ++last;

            std::vector<double> tried = ends;
            std::vector<int> rows;
            for (std::size_t i = first; i < last; ++i) {
                const auto& close = all[order[i]];
                double x = f.x(close.time), end = x + 4 + Painter::width(close.label, 12, true);
                auto row = std::find_if(tried.begin(), tried.end(), [&](double e) { return e <= x; });
                if (row == tried.end() || end > kTimelineWidth - 4)
                    break;
                *row = end + kLabelGap;
                rows.push_back(static_cast<int>(row - tried.begin()));
            }

            if (rows.size() == last - first) {
                ends = tried;
                for (std::size_t i = first; i < last; ++i) {
                    const auto& close = all[order[i]];
                    double x = f.x(close.time), y = markerY(close);
                    double labelY = f.labelRow(rows[i - first]);
                    p.color(kClose, 0.6);
                    cairo_set_line_width(c, 1);
                    cairo_set_dash(c, kShortDash, 2, 0);
                    cairo_move_to(c, x, labelY + 4);
                    cairo_line_to(c, x, y);
                    cairo_stroke(c);
                    cairo_set_dash(c, nullptr, 0, 0);
                    p.color(kClose);
                    marker(c, x, y, 5);
                    p.text(close.label, x + 4, labelY, 12, 0, true);
                }
                first = last;
                continue;
            }

            // The sum over a bar from the stretch's first close to its last, kept clear of the
            // sum before and inside the picture.
            p.color(kClose);
            for (std::size_t i = first; i < last; ++i)
                marker(c, f.x(all[order[i]].time), markerY(all[order[i]]), 3);
            double from = f.x(all[order[first]].time), to = f.x(all[order[last - 1]].time);
            double rowY = f.labelRow(kLabelRows);
            std::string sum = counted(last - first, "close", "closes");
            double width = Painter::width(sum, 12, true);
            double x = std::max(from, summaryEnd);
            if (x + width > kTimelineWidth - 4)
                x = std::max(summaryEnd, kTimelineWidth - 4 - width);
            p.color(kClose, 0.6);
            cairo_set_line_width(c, 2);
            cairo_move_to(c, from, rowY + 6);
            cairo_line_to(c, std::max(to, from + 2), rowY + 6);
            cairo_stroke(c);
            p.color(kClose);
            p.text(sum, x, rowY, 12, 0, true);
            summaryEnd = x + width + kLabelGap;
            first = last;
        }
    }

    void legend(Painter& p, const Frame& f, const Timeline& timeline)
    {
        cairo_t* c = p.cairo();
        p.color(kInk);
        p.text("Free memory over the run", f.left, 34, 20, 0, true);
        p.text(std::to_string(timeline.closes().size()) + " closed, " + counted(timeline.calls().size(), "call", "calls"),
               f.left, 56, 13);
        double x = f.right - 430;
        auto swatch = [&](Rgb rgb, double alpha, bool dashed, bool box, const char* name) {
            p.color(rgb, alpha);
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
            p.color(kInk);
            p.text(name, x + 30, 50, 13);
            x += 110;
        };
        swatch(kFree, 1, false, false, "free");
        swatch(kThreshold, 1, true, false, "threshold");
        swatch(kCall, 0.35, false, true, "call");
        p.color(kClose);
        marker(c, x + 12, 45, 5);
        p.color(kInk);
        p.text("closed", x + 30, 50, 13);
    }

} // namespace

bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath, std::vector<TimelineLabel>* labels)
{
    auto image = sv::ui::Image::create(kTimelineWidth, kTimelineHeight);
    if (!image)
        return false;
    auto free = sorted(timeline.freeMemory());
    auto threshold = sorted(timeline.threshold());
    Frame f;
    f.seconds = std::max(1.0, timeline.end());
    TimeUnit unit = timeUnit(f.seconds);
    double tStep = device::niceStep(f.seconds / unit.seconds, 12);
    double highest = 0;
    for (const auto* series : { &free, &threshold })
        for (const auto& point : *series)
            highest = std::max(highest, point.value);
    double step = device::niceStep(std::max(highest, 50.0) * 1.1, 6);
    f.megabytes = std::ceil(std::max(highest, 50.0) * 1.1 / step) * step;

    std::vector<TimelineLabel> drawn;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    Painter p(c, drawn);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);
    calls(p, f, timeline);
    axes(p, f, unit, tStep);

    if (!free.empty()) {
        // The area under the line, faintly, then the line.
        steps(c, f, free);
        cairo_line_to(c, f.right, f.bottom);
        cairo_line_to(c, f.x(free.front().time), f.bottom);
        cairo_close_path(c);
        p.color(kFree, 0.10);
        cairo_fill(c);
        steps(c, f, free);
        p.color(kFree);
        cairo_set_line_width(c, 2.5);
        cairo_stroke(c);
    }
    if (!threshold.empty()) {
        steps(c, f, threshold);
        p.color(kThreshold);
        cairo_set_line_width(c, 2);
        cairo_set_dash(c, kLongDash, 2, 0);
        cairo_stroke(c);
        cairo_set_dash(c, nullptr, 0, 0);
    }
    closes(p, f, timeline, free, tStep * unit.seconds);
    legend(p, f, timeline);
    // Above the threshold's line, or below it when a label is there already.
    if (!threshold.empty()) {
        std::string label = format("threshold %.0f MB", threshold.back().value);
        double y = f.y(threshold.back().value);
        for (double baseline : { y - 6, y + 16 }) {
            if (p.fits(Painter::box(label, f.right - 6, baseline, 12, 1))) {
                p.color(kThreshold);
                p.text(label, f.right - 6, baseline, 12, 1);
                break;
            }
        }
    }
    cairo_destroy(c);
    image->markDirty();
    if (labels)
        *labels = std::move(drawn);

    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(hostPath, png->data(), png->size());
}

} // namespace device
