#include "hosts/device/timeline_picture.h"

#include "hosts/device/chart_text.h"
#include "hosts/device/timeline_layout.h"
#include "hosts/device/timeline_painter.h"

#include "platform/foundation/files.h"
#include "platform/ui/image.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>

namespace device {
namespace {

    constexpr double kShortDash[] = { 3, 3 };
    constexpr double kLongDash[] = { 8, 5 };

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

    // The value of a stepped series just before a time.
    std::optional<double> valueBefore(const std::vector<Timeline::Point>& series, double time)
    {
        std::optional<double> value;
        for (const auto& point : series) {
            if (point.time >= time)
                break;
            value = point.value;
        }
        return value;
    }

    // Whether the stepped line through a series passes through a box.
    bool crosses(const Frame& f, const std::vector<Timeline::Point>& series, const TimelineLabel& box)
    {
        double top = box.y - 2, bottom = box.y + box.height + 2, left = box.x - 2, right = box.x + box.width + 2;
        for (std::size_t i = 0; i < series.size(); ++i) {
            double x0 = f.x(series[i].time), x1 = f.stepEnd(series, i);
            double y = f.y(series[i].value);
            if (y >= top && y <= bottom && x0 <= right && x1 >= left)
                return true;
            if (i + 1 < series.size() && x1 >= left && x1 <= right) {
                double y1 = f.y(series[i + 1].value);
                if (std::min(y, y1) <= bottom && std::max(y, y1) >= top)
                    return true;
            }
        }
        return false;
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
            cairo_line_to(c, f.stepEnd(series, i), y);
        }
    }

    void callSpans(Painter& p, const Frame& f, const Timeline& timeline)
    {
        cairo_t* c = p.cairo();
        for (const auto& call : timeline.calls()) {
            double x0 = f.x(call.start), width = std::max(2.0, f.callEnd(call) - x0);
            p.color(kCall, kCallShade);
            cairo_rectangle(c, x0, f.top, width, f.bottom - f.top);
            cairo_fill(c);
            p.color(kCall, 0.9);
            cairo_rectangle(c, x0, f.top, width, 4);
            cairo_fill(c);
        }
    }

    // Picture x from where to where.
    using Spans = std::vector<std::pair<double, double>>;

    // Close Every App while it is on: a bar along the bottom of the plot.
    Spans closeEveryAppSpans(const Frame& f, const Timeline& timeline)
    {
        Spans spans;
        auto series = sorted(timeline.closeEveryApp());
        for (std::size_t i = 0; i < series.size(); ++i)
            if (series[i].value != 0)
                spans.emplace_back(f.x(series[i].time), f.stepEnd(series, i));
        return spans;
    }

    void marker(cairo_t* c, double x, double y, double radius)
    {
        cairo_arc(c, x, y, radius, 0, 2 * M_PI);
        cairo_fill(c);
    }

    // The closes: named ones on the band's rows with a leader each down to the marker, the
    // closes of crowded stretches summed on the band's top row over a bar.
    void closes(Painter& p, const Frame& f, const Timeline& timeline, const CloseLayout& layout,
                const std::vector<Timeline::Point>& free, std::vector<double>& leaders)
    {
        cairo_t* c = p.cairo();
        const auto& all = timeline.closes();
        auto markerY = [&](const Timeline::Close& close) { return f.y(valueBefore(free, close.time).value_or(0)); };
        int firstNamedRow = layout.sums.empty() ? 0 : 1;
        for (const auto& named : layout.named) {
            double x = std::round(named.leaderX) + 0.5;
            p.color(kClose, 0.6);
            cairo_set_line_width(c, 1);
            cairo_set_dash(c, kShortDash, 2, 0);
            cairo_move_to(c, x, Frame::bandRow(firstNamedRow + named.row) - 10);
            cairo_line_to(c, x, markerY(all[named.close]));
            cairo_stroke(c);
            cairo_set_dash(c, nullptr, 0, 0);
            p.color(kClose);
            marker(c, x, markerY(all[named.close]), 5);
            leaders.push_back(x);
        }
        // After every leader: one passing behind a label below its own is hidden there.
        for (const auto& named : layout.named)
            p.patchedText(all[named.close].label, named.leaderX + 4, Frame::bandRow(firstNamedRow + named.row), 12,
                          kClose, kWhite, 0, true);
        double rowY = Frame::bandRow(0);
        for (const auto& sum : layout.sums) {
            p.color(kClose);
            for (std::size_t i : sum.closes)
                marker(c, f.x(all[i].time), markerY(all[i]), 3);
            p.color(kClose, 0.6);
            cairo_set_line_width(c, 2);
            cairo_move_to(c, sum.from, rowY + 6);
            cairo_line_to(c, sum.to, rowY + 6);
            cairo_stroke(c);
            p.color(kClose);
            p.text(sum.text, sum.x, rowY, 12, 0, true);
        }
    }

    // The first of the places that is inside the plot, clear of every label and of the lines;
    // failing that, the first inside and clear of the labels (its patch hides the lines there).
    std::optional<TimelineLabel> placeInPlot(const Painter& p, const Frame& f,
                                             std::initializer_list<TimelineLabel> places,
                                             std::initializer_list<const std::vector<Timeline::Point>*> lines)
    {
        std::optional<TimelineLabel> fallback;
        for (const TimelineLabel& place : places) {
            // A text that would touch another is left out.
            TimelineLabel room { "", place.x - 6, place.y, place.width + 12, place.height };
            if (!f.inside(place) || !p.fits(room))
                continue;
            if (std::none_of(lines.begin(), lines.end(), [&](auto* line) { return crosses(f, *line, place); }))
                return place;
            if (!fallback)
                fallback = place;
        }
        return fallback;
    }

    // The colour of the plot under a box, away from its lines: white, or the faint blue under the
    // free line, with a call's shade beneath when the box lies in a call.
    Rgb backgroundUnder(const Frame& f, const Timeline& timeline, const std::vector<Timeline::Point>& free,
                        const TimelineLabel& box)
    {
        Rgb under = kWhite;
        for (const auto& call : timeline.calls())
            if (box.x >= f.x(call.start) && box.x + box.width <= f.callEnd(call))
                under = blend(under, kCall, kCallShade);
        if (free.empty() || f.x(free.front().time) > box.x)
            return under;
        double lowest = 0; // the line's lowest point (largest y) over the box
        for (std::size_t i = 0; i < free.size(); ++i) {
            double x0 = f.x(free[i].time), x1 = f.stepEnd(free, i);
            if (x1 >= box.x && x0 <= box.x + box.width)
                lowest = std::max(lowest, f.y(free[i].value));
        }
        return lowest <= box.y ? blend(under, kFree, kFreeShade) : under;
    }

    // Texts inside the plot, most wanted first: the threshold at the right end, each call, each
    // change of the threshold during the run, each time Close Every App was turned on.
    void plotLabels(Painter& p, const Frame& f, const Timeline& timeline, const std::vector<Timeline::Point>& free,
                    const std::vector<Timeline::Point>& threshold, const Spans& closeEveryApp)
    {
        auto put = [&](const std::optional<TimelineLabel>& place, double size, Rgb ink) {
            if (place)
                p.patchedText(place->text, place->x, place->y + chartFont(size).ascender(), size, ink,
                              backgroundUnder(f, timeline, free, *place));
        };
        auto at = [](const std::string& s, double x, double baseline, double size, double alignX) {
            return Painter::box(s, x, baseline, size, alignX);
        };
        if (!threshold.empty()) {
            std::string label = format("threshold %.0f MB", threshold.back().value);
            double y = f.y(threshold.back().value);
            put(placeInPlot(p, f,
                            { at(label, f.right - 6, y - 6, 12, 1), at(label, f.right - 6, y + 16, 12, 1),
                              at(label, f.left + 6, y - 6, 12, 0), at(label, f.left + 6, y + 16, 12, 0) },
                            { &free, &threshold }),
                12, kThreshold);
        }
        for (const auto& call : timeline.calls()) {
            std::string label = "call " + call.kind;
            put(placeInPlot(p, f, { at(label, f.x(call.start) + 4, f.top + 20, 12, 0) }, {}), 12, kInk);
        }
        for (std::size_t i = 1; i < threshold.size(); ++i) {
            std::string label = format("set to %.0f MB", threshold[i].value);
            double x = f.x(threshold[i].time), y = f.y(threshold[i].value);
            put(placeInPlot(p, f,
                            { at(label, x + 6, y - 6, 11, 0), at(label, x + 6, y + 15, 11, 0),
                              at(label, x - 6, y - 6, 11, 1), at(label, x - 6, y + 15, 11, 1) },
                            { &free, &threshold }),
                11, kThreshold);
        }
        for (const auto& [from, to] : closeEveryApp)
            put(placeInPlot(p, f, { at("Close Every App on", from + 4, f.bottom - 14, 11, 0) }, { &free }), 11, kClose);
    }

    void legend(Painter& p, const Frame& f, const Timeline& timeline, bool closeEveryApp)
    {
        cairo_t* c = p.cairo();
        p.color(kInk);
        p.text("Free memory over the run", f.left, 34, 20, 0, true);
        p.text(std::to_string(timeline.closes().size()) + " closed, " + counted(timeline.calls().size(), "call", "calls"),
               f.left, 56, 13);
        enum class Look { Line, Dashed, Box, Bar, Dot };
        struct Entry {
            Rgb rgb;
            double alpha;
            Look look;
            const char* name;
        };
        std::vector<Entry> entries { { kFree, 1, Look::Line, "free" },
                                     { kThreshold, 1, Look::Dashed, "threshold" },
                                     { kCall, 0.35, Look::Box, "call" } };
        if (closeEveryApp)
            entries.push_back({ kClose, 0.35, Look::Bar, "Close Every App on" });
        entries.push_back({ kClose, 1, Look::Dot, "closed" });
        double x = f.right;
        for (const Entry& entry : entries)
            x -= 30 + Painter::width(entry.name, 13) + 24;
        for (const Entry& entry : entries) {
            p.color(entry.rgb, entry.alpha);
            if (entry.look == Look::Box || entry.look == Look::Bar) {
                cairo_rectangle(c, x, entry.look == Look::Box ? 38 : 41, 24, entry.look == Look::Box ? 14 : 8);
                cairo_fill(c);
            } else if (entry.look == Look::Dot) {
                marker(c, x + 12, 45, 5);
            } else {
                cairo_set_line_width(c, 2.5);
                if (entry.look == Look::Dashed)
                    cairo_set_dash(c, kLongDash, 2, 0);
                cairo_move_to(c, x, 45);
                cairo_line_to(c, x + 24, 45);
                cairo_stroke(c);
                cairo_set_dash(c, nullptr, 0, 0);
            }
            p.color(kInk);
            p.text(entry.name, x + 30, 50, 13);
            x += 30 + Painter::width(entry.name, 13) + 24;
        }
    }

} // namespace

bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath, TimelineLayout* out)
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

    // The band of close labels first: the plot begins below it.
    CloseLayout layout = layOutCloses(
        timeline.closes(), [&](double time) { return f.x(time); }, f.left, f.right, tStep * unit.seconds,
        [](const std::string& s) { return Painter::width(s, 12, true); });
    if (layout.bandRows() > 0)
        f.top = Frame::kBandTop + Frame::kRow * layout.bandRows() + 6;

    std::vector<TimelineLabel> drawn;
    std::vector<double> leaders;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    Painter p(c, drawn);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);
    callSpans(p, f, timeline);
    axes(p, f, unit, tStep);

    if (!free.empty()) {
        // The area under the line, faintly, then the line.
        steps(c, f, free);
        cairo_line_to(c, f.right, f.bottom);
        cairo_line_to(c, f.x(free.front().time), f.bottom);
        cairo_close_path(c);
        p.color(kFree, kFreeShade);
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
        // Each change during the run, marked where it lands.
        for (std::size_t i = 1; i < threshold.size(); ++i) {
            double x = f.x(threshold[i].time), y = f.y(threshold[i].value);
            cairo_move_to(c, x, y - 5);
            cairo_line_to(c, x + 5, y);
            cairo_line_to(c, x, y + 5);
            cairo_line_to(c, x - 5, y);
            cairo_close_path(c);
            cairo_fill(c);
        }
    }
    auto closeEveryApp = closeEveryAppSpans(f, timeline);
    for (const auto& [from, to] : closeEveryApp) {
        p.color(kClose, 0.35);
        cairo_rectangle(c, from, f.bottom - 8, std::max(2.0, to - from), 7);
        cairo_fill(c);
    }
    closes(p, f, timeline, layout, free, leaders);
    legend(p, f, timeline, !closeEveryApp.empty());
    plotLabels(p, f, timeline, free, threshold, closeEveryApp);
    cairo_destroy(c);
    image->markDirty();
    if (out)
        *out = { std::move(drawn), { "", f.left, f.top, f.right - f.left, f.bottom - f.top }, std::move(leaders) };

    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(hostPath, png->data(), png->size());
}

} // namespace device
