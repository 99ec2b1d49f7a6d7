// The replay's chart: three panels against the threshold (spaced by megabytes), a line a policy,
// the recommended threshold marked across them.
#include "tools/replay/report.h"

#include "hosts/device/chart_text.h"
#include "platform/foundation/files.h"
#include "platform/ui/image.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <functional>

namespace replay {
namespace {

    struct Rgb {
        double r, g, b;
    };
    constexpr Rgb kInk { 0.20, 0.20, 0.22 };
    constexpr Rgb kGrid { 0.88, 0.88, 0.90 };
    constexpr Rgb kMark { 0.45, 0.45, 0.48 };
    constexpr Rgb kColors[] = { { 0.10, 0.42, 0.80 }, { 0.82, 0.18, 0.16 }, { 0.20, 0.60, 0.30 },
                                { 0.55, 0.30, 0.65 }, { 0.95, 0.55, 0.10 } };
    constexpr double kDash[] = { 6, 4 };
    constexpr double kDots[] = { 2, 4 };
    constexpr int kWidth = 1400, kHeight = 560;

    void color(cairo_t* c, Rgb rgb) { cairo_set_source_rgb(c, rgb.r, rgb.g, rgb.b); }

    void text(cairo_t* c, const std::string& s, double x, double y, double size, double alignX = 0, bool bold = false)
    {
        device::drawText(c, s, x, y, size, alignX, bold);
    }

    std::string number(double value)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, value == std::floor(value) ? "%.0f" : "%.1f", value);
        return buffer;
    }

    using Get = std::function<double(const Figures&)>;

    struct Panel {
        double left, top, right, bottom;
        double x0, x1, y1 = 1;
        double x(double v) const { return left + (right - left) * (x1 > x0 ? (v - x0) / (x1 - x0) : 0.5); }
        double y(double v) const { return bottom - (bottom - top) * std::clamp(v / y1, 0.0, 1.0); }
    };

    struct Series {
        Get value;
        bool dashed;
    };

    // One panel: values of each row against its threshold, a line a policy and series; the scale
    // fits the values, or is 0 to `top` when one is given.
    void panel(cairo_t* c, Panel& p, const std::vector<Figures>& rows, const std::vector<std::string>& policies,
               const std::vector<int>& thresholds, const std::string& title, const std::string& unit,
               std::vector<Series> series, double top = 0)
    {
        double highest = 0;
        for (const Figures& f : rows)
            for (const Series& s : series)
                highest = std::max(highest, s.value(f));
        double step = top > 0 ? top / 4 : device::niceStep(std::max(highest, 1e-3) * 1.1, 5);
        p.y1 = top > 0 ? top : std::ceil(std::max(highest, 1e-3) * 1.1 / step) * step;
        cairo_set_line_width(c, 1);
        double widest = 0; // of the tick labels, so that the axis title keeps clear of them
        for (double v = 0; v <= p.y1 + 1e-9; v += step)
            widest = std::max(widest, double(sv::ui::detail::shapedWidth(number(v), device::chartFont(13))));
        for (double v = 0; v <= p.y1 + 1e-9; v += step) {
            color(c, kGrid);
            cairo_move_to(c, p.left, std::round(p.y(v)) + 0.5);
            cairo_line_to(c, p.right, std::round(p.y(v)) + 0.5);
            cairo_stroke(c);
            color(c, kInk);
            text(c, number(v), p.left - 8, p.y(v) + 5, 13, 1);
        }
        // Tick labels by megabytes; one too near the last drawn is left out.
        double lastRight = -1e9;
        for (int t : thresholds) {
            std::string label = std::to_string(t);
            double half = double(sv::ui::detail::shapedWidth(label, device::chartFont(13))) / 2;
            if (p.x(t) - half < lastRight + 6)
                continue;
            text(c, label, p.x(t), p.bottom + 20, 13, 0.5);
            lastRight = p.x(t) + half;
        }
        cairo_rectangle(c, p.left + 0.5, p.top + 0.5, p.right - p.left - 1, p.bottom - p.top - 1);
        cairo_stroke(c);
        text(c, title, p.left, p.top - 12, 14, 0, true);
        text(c, "threshold (MB)", (p.left + p.right) / 2, p.bottom + 44, 13, 0.5);
        cairo_save(c);
        cairo_translate(c, p.left - 8 - widest - 10, (p.top + p.bottom) / 2);
        cairo_rotate(c, -M_PI / 2);
        text(c, unit, 0, 0, 13, 0.5);
        cairo_restore(c);

        for (const Series& s : series)
            for (std::size_t i = 0; i < policies.size(); ++i) {
                color(c, kColors[i % std::size(kColors)]);
                cairo_set_line_width(c, 2.5);
                if (s.dashed)
                    cairo_set_dash(c, kDash, 2, 0);
                bool first = true;
                for (int t : thresholds)
                    for (const Figures& f : rows)
                        if (f.policy == policies[i] && f.threshold == t) {
                            first ? cairo_move_to(c, p.x(t), p.y(s.value(f))) : cairo_line_to(c, p.x(t), p.y(s.value(f)));
                            first = false;
                        }
                cairo_stroke(c);
                cairo_set_dash(c, nullptr, 0, 0);
                for (int t : thresholds)
                    for (const Figures& f : rows)
                        if (f.policy == policies[i] && f.threshold == t) {
                            cairo_arc(c, p.x(t), p.y(s.value(f)), 3.5, 0, 2 * M_PI);
                            cairo_fill(c);
                        }
            }
    }

    void vertical(cairo_t* c, const Panel& p, double x, Rgb rgb, const double* dash)
    {
        color(c, rgb);
        cairo_set_line_width(c, 1.5);
        cairo_set_dash(c, dash, 2, 0);
        cairo_move_to(c, std::round(x) + 0.5, p.top + 1);
        cairo_line_to(c, std::round(x) + 0.5, p.bottom - 1);
        cairo_stroke(c);
        cairo_set_dash(c, nullptr, 0, 0);
    }

} // namespace

bool writeChart(const Report& report, const std::string& path)
{
    auto image = sv::ui::Image::create(kWidth, kHeight);
    if (!image)
        return false;
    const std::vector<Figures>& rows = report.rows;
    std::vector<std::string> policies;
    std::vector<int> thresholds;
    long days = 0;
    for (const Figures& f : rows) {
        if (std::find(policies.begin(), policies.end(), f.policy) == policies.end())
            policies.push_back(f.policy);
        if (std::find(thresholds.begin(), thresholds.end(), f.threshold) == thresholds.end())
            thresholds.push_back(f.threshold);
        days = std::max(days, f.days);
    }
    std::sort(thresholds.begin(), thresholds.end());
    double lowT = thresholds.empty() ? 0 : thresholds.front(), highT = thresholds.empty() ? 1 : thresholds.back();
    for (const Recommendation& r : report.recommendations)
        if (r.policy == report.rulesPlayed() && r.threshold) {
            lowT = std::min(lowT, double(*r.threshold));
            highT = std::max(highT, double(*r.threshold));
        }
    double pad = highT > lowT ? (highT - lowT) * 0.06 : 10;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);

    std::string rules = report.rulesPlayed();
    const Recommendation* recommended = nullptr;
    for (const Recommendation& r : report.recommendations)
        if (r.policy == rules)
            recommended = &r;
    std::string subtitle = device::counted(std::size_t(days), "day", "days") + " replayed; ";
    if (recommended && recommended->threshold) {
        char figures[96];
        std::snprintf(figures, sizeof figures, "%.1f s a day spent waiting, %.1f minutes a day with memory low",
                      recommended->costPerDay,
                      recommended->figures.secondsLow / 60 / double(std::max(1L, recommended->figures.days)));
        subtitle += "recommended threshold (" + recommended->policy + ", dotted): " + std::to_string(*recommended->threshold)
            + " MB: " + figures;
    }
    color(c, kInk);
    text(c, "What each threshold would have cost", 60, 34, 20, 0, true);
    text(c, subtitle, 60, 56, 13);

    const double width = (kWidth - 60 - 3 * 100.0) / 3;
    std::vector<Panel> panels;
    for (int i = 0; i < 3; ++i) {
        double left = 110 + i * (width + 100);
        panels.push_back(Panel { left, 120, left + width, kHeight - 80.0, lowT - pad, highT + pad });
    }
    auto perDay = [](double value, const Figures& f) { return f.days ? value / double(f.days) : 0; };
    Costs costs = report.costs;
    panel(c, panels[0], rows, policies, thresholds, "Cost: seconds a day spent waiting", "s a day",
          { { [costs](const Figures& f) { return costs.perDay(f); }, false } });
    panel(c, panels[1], rows, policies, thresholds, "Restarts (solid: 10 min, dashed: 60 s)", "per 100 switches",
          { { [](const Figures& f) { return f.per100Switches(f.restarts10min); }, false },
            { [](const Figures& f) { return f.per100Switches(f.restarts60s); }, true } });
    panel(c, panels[2], rows, policies, thresholds, "Minutes a day with free memory low", "minutes a day",
          { { [perDay](const Figures& f) { return perDay(f.secondsLow / 60, f); }, false } });
    if (recommended && recommended->threshold)
        for (const Panel& p : panels)
            vertical(c, p, p.x(*recommended->threshold), kMark, kDots);

    double x = kWidth - 40 - 150.0 * double(policies.size());
    for (std::size_t i = 0; i < policies.size(); ++i, x += 150) {
        color(c, kColors[i % std::size(kColors)]);
        cairo_set_line_width(c, 2.5);
        cairo_move_to(c, x, 85);
        cairo_line_to(c, x + 24, 85);
        cairo_stroke(c);
        color(c, kInk);
        text(c, policies[i], x + 30, 90, 13);
    }
    cairo_destroy(c);
    image->markDirty();
    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(path, png->data(), png->size());
}

} // namespace replay
