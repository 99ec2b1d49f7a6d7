#include "tools/replay/report.h"

#include "hosts/device/chart_text.h"
#include "platform/foundation/files.h"
#include "platform/ui/image.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <map>

namespace replay {

void printTable(std::FILE* out, const std::vector<Figures>& rows)
{
    std::fprintf(out, "%-14s %9s %9s %9s %7s %7s %11s %12s %10s %11s\n", "policy", "threshold", "switches",
                 "launches", "cold", "closes", "regret 60s", "regret 10min", "min under", "lowest free");
    for (const Figures& f : rows)
        std::fprintf(out, "%-14s %9d %9ld %9ld %7ld %7ld %11.2f %12.2f %10.1f %11.0f\n", f.policy.c_str(), f.threshold,
                     f.switches, f.launches, f.coldLaunches, f.closes, f.per100Switches(f.regretted60s),
                     f.per100Switches(f.regretted10min), f.secondsUnderThreshold / 60, f.lowestFree);
    std::fprintf(out, "(regretted closes per 100 switches; minutes with free memory at or below the threshold)\n");
}

void printJson(std::FILE* out, const std::vector<Figures>& rows)
{
    std::fprintf(out, "[");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Figures& f = rows[i];
        std::fprintf(out,
                     "%s\n  {\"policy\": \"%s\", \"threshold\": %d, \"switches\": %ld, \"launches\": %ld, "
                     "\"cold_launches\": %ld, \"closes\": %ld, \"regretted_60s\": %.4f, \"regretted_10min\": %.4f, "
                     "\"minutes_under_threshold\": %.2f, \"lowest_free\": %.0f}",
                     i ? "," : "", f.policy.c_str(), f.threshold, f.switches, f.launches, f.coldLaunches, f.closes,
                     f.per100Switches(f.regretted60s), f.per100Switches(f.regretted10min), f.secondsUnderThreshold / 60,
                     f.lowestFree);
    }
    std::fprintf(out, "\n]\n");
}

namespace {

    struct Rgb {
        double r, g, b;
    };
    constexpr Rgb kInk { 0.20, 0.20, 0.22 };
    constexpr Rgb kGrid { 0.88, 0.88, 0.90 };
    constexpr Rgb kColors[] = { { 0.10, 0.42, 0.80 }, { 0.82, 0.18, 0.16 }, { 0.20, 0.60, 0.30 },
                                { 0.55, 0.30, 0.65 }, { 0.95, 0.55, 0.10 } };
    constexpr double kDash[] = { 6, 4 };
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

    struct Panel {
        double left, top, right, bottom;
        double x0, x1, y1;
        double x(double v) const { return left + (right - left) * (x1 > x0 ? (v - x0) / (x1 - x0) : 0.5); }
        double y(double v) const { return bottom - (bottom - top) * std::clamp(v / y1, 0.0, 1.0); }
    };

    // One panel: a value of each row against its threshold, a line a policy.
    template <typename Value>
    void panel(cairo_t* c, Panel p, const std::vector<Figures>& rows, const std::vector<std::string>& policies,
               const std::string& title, const std::string& unit, Value value, bool dashedSecond = false,
               Value second = nullptr)
    {
        double highest = 0;
        for (const Figures& f : rows)
            highest = std::max({ highest, value(f), second ? second(f) : 0.0 });
        double step = device::niceStep(std::max(highest, 1e-3) * 1.1, 5);
        p.y1 = std::ceil(std::max(highest, 1e-3) * 1.1 / step) * step;
        cairo_set_line_width(c, 1);
        for (double v = 0; v <= p.y1 + 1e-9; v += step) {
            color(c, kGrid);
            cairo_move_to(c, p.left, std::round(p.y(v)) + 0.5);
            cairo_line_to(c, p.right, std::round(p.y(v)) + 0.5);
            cairo_stroke(c);
            color(c, kInk);
            text(c, number(v), p.left - 8, p.y(v) + 5, 13, 1);
        }
        std::vector<int> thresholds;
        for (const Figures& f : rows)
            thresholds.push_back(f.threshold);
        std::sort(thresholds.begin(), thresholds.end());
        thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
        for (int t : thresholds) {
            color(c, kInk);
            text(c, std::to_string(t), p.x(t), p.bottom + 20, 13, 0.5);
        }
        color(c, kInk);
        cairo_rectangle(c, p.left + 0.5, p.top + 0.5, p.right - p.left - 1, p.bottom - p.top - 1);
        cairo_stroke(c);
        text(c, title, p.left, p.top - 12, 15, 0, true);
        text(c, "threshold (MB)", (p.left + p.right) / 2, p.bottom + 44, 13, 0.5);
        cairo_save(c);
        cairo_translate(c, p.left - 50, (p.top + p.bottom) / 2);
        cairo_rotate(c, -M_PI / 2);
        text(c, unit, 0, 0, 13, 0.5);
        cairo_restore(c);

        for (int pass = 0; pass < (second ? 2 : 1); ++pass) {
            for (std::size_t i = 0; i < policies.size(); ++i) {
                color(c, kColors[i % std::size(kColors)]);
                cairo_set_line_width(c, 2.5);
                if (pass == 1 && dashedSecond)
                    cairo_set_dash(c, kDash, 2, 0);
                bool first = true;
                for (int t : thresholds)
                    for (const Figures& f : rows)
                        if (f.policy == policies[i] && f.threshold == t) {
                            double v = pass == 0 ? value(f) : second(f);
                            first ? cairo_move_to(c, p.x(t), p.y(v)) : cairo_line_to(c, p.x(t), p.y(v));
                            first = false;
                        }
                cairo_stroke(c);
                cairo_set_dash(c, nullptr, 0, 0);
                for (int t : thresholds)
                    for (const Figures& f : rows)
                        if (f.policy == policies[i] && f.threshold == t) {
                            cairo_arc(c, p.x(t), p.y(pass == 0 ? value(f) : second(f)), 3.5, 0, 2 * M_PI);
                            cairo_fill(c);
                        }
            }
        }
    }

} // namespace

bool writeChart(const std::vector<Figures>& rows, long days, const std::string& path)
{
    auto image = sv::ui::Image::create(kWidth, kHeight);
    if (!image)
        return false;
    std::vector<std::string> policies;
    double lowT = 1e9, highT = -1e9;
    for (const Figures& f : rows) {
        if (std::find(policies.begin(), policies.end(), f.policy) == policies.end())
            policies.push_back(f.policy);
        lowT = std::min(lowT, double(f.threshold));
        highT = std::max(highT, double(f.threshold));
    }
    double pad = highT > lowT ? (highT - lowT) * 0.05 : 10;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);

    color(c, kInk);
    text(c, "What each threshold would have cost", 80, 34, 20, 0, true);
    text(c, std::to_string(days) + (days == 1 ? " day" : " days") + " replayed", 80, 56, 13);
    Panel left { 100, 110, 660, kHeight - 80, lowT - pad, highT + pad, 1 };
    Panel right { 800, 110, kWidth - 40, kHeight - 80, lowT - pad, highT + pad, 1 };
    using Get = double (*)(const Figures&);
    panel<Get>(c, left, rows, policies, "Regretted closes per 100 switches (solid: within 10 min, dashed: 60 s)",
               "per 100 switches", [](const Figures& f) { return f.per100Switches(f.regretted10min); }, true,
               [](const Figures& f) { return f.per100Switches(f.regretted60s); });
    panel<Get>(c, right, rows, policies, "Minutes with free memory at or below the threshold", "minutes",
               [](const Figures& f) { return f.secondsUnderThreshold / 60; });

    double x = kWidth - 40 - 140.0 * double(policies.size());
    for (std::size_t i = 0; i < policies.size(); ++i, x += 140) {
        color(c, kColors[i % std::size(kColors)]);
        cairo_set_line_width(c, 2.5);
        cairo_move_to(c, x, 45);
        cairo_line_to(c, x + 24, 45);
        cairo_stroke(c);
        color(c, kInk);
        text(c, policies[i], x + 30, 50, 13);
    }
    cairo_destroy(c);
    image->markDirty();
    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(path, png->data(), png->size());
}

} // namespace replay
