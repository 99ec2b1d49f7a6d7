// sleepvane-weights-course: the course of Learn From Use's weights over one synthetic person's
// days, played at one threshold as sleepvane-replay plays learn-from-use, drawn as a PNG.
//
// usage: sleepvane-weights-course <file.png> [seed] [person] [days] [habits] [total MB] [base MB] [threshold MB]
#include "hosts/device/chart_text.h"
#include "platform/foundation/files.h"
#include "platform/ui/image.h"
#include "playback/model_policies.h"
#include "playback/replay.h"
#include "playback/synthetic.h"

#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
    double hours;    // since the first day's midnight
    double score;    // the score's share of the two weights
};

constexpr int kWidth = 1400, kHeight = 520;
constexpr double kLeft = 90, kRight = kWidth - 40, kTop = 110, kBottom = kHeight - 70;

void ink(cairo_t* c, double r, double g, double b) { cairo_set_source_rgb(c, r, g, b); }

double share(const model::Usage& usage)
{
    double rules = std::exp2(-double(usage.halvings(model::Expert::Rules)));
    double score = std::exp2(-double(usage.halvings(model::Expert::Score)));
    return score / (rules + score);
}

bool draw(const std::vector<Sample>& samples, int days, const std::string& title, const std::string& subtitle,
          const std::string& path)
{
    auto image = sv::ui::Image::create(kWidth, kHeight);
    if (!image)
        return false;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    ink(c, 1, 1, 1);
    cairo_paint(c);
    auto x = [&](double hours) { return kLeft + (kRight - kLeft) * hours / (24.0 * days); };
    auto y = [&](double v) { return kBottom - (kBottom - kTop) * v; };
    // Where the score was followed (its weight the heavier), shaded.
    ink(c, 0.90, 0.94, 1.0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double end = i + 1 < samples.size() ? samples[i + 1].hours : 24.0 * days;
        if (samples[i].score > 0.5) {
            cairo_rectangle(c, x(samples[i].hours), kTop, x(end) - x(samples[i].hours), kBottom - kTop);
            cairo_fill(c);
        }
    }
    cairo_set_line_width(c, 1);
    for (int v = 0; v <= 4; ++v) {
        ink(c, 0.85, 0.85, 0.87);
        cairo_move_to(c, kLeft, std::round(y(v / 4.0)) + 0.5);
        cairo_line_to(c, kRight, std::round(y(v / 4.0)) + 0.5);
        cairo_stroke(c);
        ink(c, 0.2, 0.2, 0.22);
        device::drawText(c, std::to_string(v * 25) + " %", kLeft - 8, y(v / 4.0) + 5, 13, 1);
    }
    for (int d = 0; d <= days; ++d) {
        ink(c, 0.75, 0.75, 0.78);
        cairo_move_to(c, std::round(x(24.0 * d)) + 0.5, kTop);
        cairo_line_to(c, std::round(x(24.0 * d)) + 0.5, kBottom);
        cairo_stroke(c);
        ink(c, 0.2, 0.2, 0.22);
        if (d < days)
            device::drawText(c, "day " + std::to_string(d + 1), x(24.0 * d + 12), kBottom + 20, 13, 0.5);
    }
    // The two weights' shares, as steps.
    const double colors[2][3] = { { 0.82, 0.18, 0.16 }, { 0.10, 0.42, 0.80 } };
    for (int expert = 0; expert < 2; ++expert) {
        ink(c, colors[expert][0], colors[expert][1], colors[expert][2]);
        cairo_set_line_width(c, 2.5);
        double last = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            double v = expert ? samples[i].score : 1 - samples[i].score;
            if (i == 0) {
                cairo_move_to(c, x(samples[i].hours), y(v));
            } else {
                cairo_line_to(c, x(samples[i].hours), y(last));
                cairo_line_to(c, x(samples[i].hours), y(v));
            }
            last = v;
        }
        cairo_line_to(c, x(24.0 * days), y(last));
        cairo_stroke(c);
        device::drawText(c, expert ? "the score's weight" : "the rules' weight", kRight - 330 + 170 * expert + 30, 86, 13);
        cairo_move_to(c, kRight - 330 + 170 * expert, 81);
        cairo_line_to(c, kRight - 330 + 170 * expert + 24, 81);
        cairo_stroke(c);
    }
    ink(c, 0.2, 0.2, 0.22);
    device::drawText(c, title, kLeft - 30, 34, 20, 0, true);
    device::drawText(c, subtitle, kLeft - 30, 56, 13);
    device::drawText(c, "share of the two weights (shaded: the score is followed)", kLeft - 30, 86, 13);
    cairo_destroy(c);
    image->markDirty();
    auto png = image->pngData();
    return png && sv::fs::writeHostFileAtomically(path, png->data(), png->size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 9) {
        std::fputs("usage: sleepvane-weights-course <file.png> [seed] [person] [days] [habits] [total MB] [base MB] [threshold MB]\n",
                   stderr);
        return 2;
    }
    auto number = [&](int i, double fallback) { return argc > i ? std::atof(argv[i]) : fallback; };
    unsigned seed = unsigned(number(2, 1));
    int person = int(number(3, 0)), days = int(number(4, 7));
    std::string habitsText = argc > 5 ? argv[5] : "all";
    std::string why;
    auto habits = replay::Habits::parse(habitsText, &why);
    double total = number(6, 2048), base = number(7, 768);
    int threshold = int(number(8, 250));
    if (!habits || days < 1 || total <= base || threshold < 0) {
        std::fprintf(stderr, "sleepvane-weights-course: %s\n", habits ? "bad figures" : why.c_str());
        return 2;
    }
    replay::Footprints footprints;
    replay::Replay replay({ total, base }, footprints);
    replay::Synthetic generator(seed, *habits);
    std::vector<Sample> samples;
    double dayStart = 0;
    auto policy = replay::makeWatchedLearnFromUsePolicy([&](double time, const model::Usage& usage) {
        double v = share(usage);
        if (samples.empty() || samples.back().score != v)
            samples.push_back(Sample { (dayStart + time) / 3600, v });
    });
    long restarts = 0, closes = 0;
    for (int d = 0; d < days; ++d) {
        dayStart = 86400.0 * d;
        replay::Figures figures = replay.play(generator.day(person, d), *policy, threshold);
        restarts += figures.restarts10min;
        closes += figures.closes;
    }
    if (samples.empty() || samples.front().hours > 0)
        samples.insert(samples.begin(), Sample { 0, share(model::Usage()) });
    char subtitle[400];
    std::snprintf(subtitle, sizeof subtitle,
                  "synthetic person %d (seed %u, habits %s), %d days on a phone of %.0f MB (%.0f for the system) at %d MB: "
                  "%ld closes, %ld restarts within 10 minutes",
                  person, seed, habits->text().c_str(), days, total, base, threshold, closes, restarts);
    if (!draw(samples, days, "Learn From Use's weights over a person's week", subtitle, argv[1])) {
        std::fprintf(stderr, "sleepvane-weights-course: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
