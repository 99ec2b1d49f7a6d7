#include "tools/replay/report.h"

#include "playback/printable.h"

#include <algorithm>
#include <cmath>

namespace replay {
namespace {

    std::string mb(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, value == std::floor(value) ? "%.0f MB" : "%.1f MB", value);
        return text;
    }

    // "1 day", "7 days".
    std::string count(long n, const char* one, const char* many)
    {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    }

    std::string percent(long part, long whole)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f %%", whole ? 100.0 * double(part) / double(whole) : 0.0);
        return text;
    }

    const Figures* find(const std::vector<Figures>& rows, const std::string& policy, int threshold)
    {
        for (const Figures& f : rows)
            if (f.policy == policy && f.threshold == threshold)
                return &f;
        return nullptr;
    }

    const Recommendation* libraryRecommendation(const Report& report)
    {
        std::string rules = report.rulesPlayed();
        for (const Recommendation& r : report.recommendations)
            if (r.policy == rules)
                return &r;
        return nullptr;
    }

    std::string orNull(std::optional<double> value, const char* format = "%.4f")
    {
        if (!value)
            return "null";
        char text[40];
        std::snprintf(text, sizeof text, format, *value);
        return text;
    }

    // A person's own best value, of a recommendation with people.
    std::string own(const Recommendation* r, int Spread::*which)
    {
        return r && r->own.people ? std::to_string(r->own.*which) : "null";
    }

} // namespace

std::string Report::rulesPlayed() const
{
    for (const std::string& name : { rules, std::string(kPartsPolicy) })
        for (const Recommendation& r : recommendations)
            if (r.policy == name)
                return name;
    return recommendations.empty() ? rules : recommendations.front().policy;
}

void printParameters(std::FILE* out, const RunParameters& p)
{
    auto device = [&](const char* which, const DeviceSize& d) {
        std::string floor = mb(d.floorFor(d.totalMB));
        if (!d.floorMB) {
            char share[16];
            std::snprintf(share, sizeof share, "%g", kFloorShare * 100);
            floor += std::string(" (") + share + " % of total)";
        }
        std::fprintf(out, "%s: %s, %s used by the system, floor %s; minutes low: free memory under %s\n", which,
                     mb(d.totalMB).c_str(), mb(d.baseMB).c_str(), floor.c_str(),
                     mb(d.floorFor(d.totalMB) + kLowMarginMB).c_str());
    };
    if (!p.diariesOnly || p.diaryDevices.size() < p.traces.size())
        device("device", p.device);
    for (const auto& [path, shown] : p.diaryDevices)
        device(("device of " + printable(path) + " (from its free memory: applications have " + mb(shown.totalMB - shown.baseMB)
                + ", the system taken to hold as much)").c_str(),
               shown);
    if (p.traces.empty()) {
        std::fprintf(out, "days: synthetic, %s x %s (%s), seed %u, habits %s\n",
                     count(p.people, "person", "people").c_str(),
                     count(p.people ? p.days / p.people : 0, "day", "days").c_str(), count(p.days, "day", "days").c_str(),
                     p.seed, p.habits.text().c_str());
    } else {
        std::string files;
        for (const std::string& trace : p.traces)
            files += (files.empty() ? "" : ", ") + printable(trace);
        std::fprintf(out, "days: trace %s, %s, %s\n", files.c_str(), count(p.people, "person", "people").c_str(),
                     count(p.days, "day", "days").c_str());
    }
}

void printFootprints(std::FILE* out, const std::map<std::string, App>& apps, const Footprints& footprints)
{
    std::fprintf(out, "footprints: what each application holds while it runs, and where the figure comes from\n");
    int width = 12;
    for (const auto& [id, app] : apps)
        width = std::max(width, static_cast<int>(printable(app.name).size()));
    for (const auto& [id, app] : apps) {
        Footprints::Figure figure = footprints.figure(app.name, app.bundleID);
        std::string from;
        if (app.memoryMB) {
            figure.megabytes = *app.memoryMB;
            from = "the trace (mem=)";
        } else if (figure.source == Footprints::Source::File) {
            from = "the footprints file";
        } else if (figure.source == Footprints::Source::Diary) {
            from = "the diary (the median of " + std::to_string(figure.observations) + " observations)";
        } else if (figure.source == Footprints::Source::Table) {
            from = "the table";
        } else {
            from = "drawn from its name";
        }
        char megabytes[32];
        std::snprintf(megabytes, sizeof megabytes, "%.1f", figure.megabytes);
        std::fprintf(out, "  %-*s %8s MB  %s\n", width, printable(app.name).c_str(), megabytes, from.c_str());
    }
}

void printTable(std::FILE* out, const Report& report)
{
    int width = 14;
    for (const Figures& f : report.rows)
        width = std::max(width, static_cast<int>(f.policy.size()));
    std::fprintf(out, "%-*s %9s %8s %8s %7s %7s %11s %13s %12s %9s %8s %10s %9s %11s %10s\n", width, "policy",
                 "threshold", "switches", "launches", "cold", "closes", "restart 60s", "restart 10min", "low launches",
                 "sys kills", "fg kills", "min under", "min low", "lowest free", "cost s/day");
    bool beyond = false;
    for (const Figures& f : report.rows) {
        std::string lowest = f.days ? mb(f.lowestFree) : "-";
        std::string threshold = std::to_string(f.threshold) + (sliderHolds(f.threshold) ? "" : "*");
        beyond = beyond || !sliderHolds(f.threshold);
        std::fprintf(out, "%-*s %9s %8ld %8ld %7ld %7ld %11.2f %13.2f %12ld %9ld %8ld %10.1f %9.1f %11s %10.1f\n", width,
                     f.policy.c_str(), threshold.c_str(), f.switches, f.launches, f.coldLaunches, f.closes,
                     f.per100Switches(f.restarts60s), f.per100Switches(f.restarts10min), f.lowLaunches, f.systemKills,
                     f.foregroundKills, f.secondsUnderThreshold / 60, f.secondsLow / 60, lowest.c_str(),
                     report.costs.perDay(f));
    }
    std::fprintf(out, "(restarts: applications opened again within 60 s or 10 minutes after the policy closed them or "
                      "the system killed them, per 100 switches; low launches: launches that waited for the system to "
                      "free memory; minutes under: free memory at or below the threshold; minutes low: under the floor "
                      "plus %.0f MB; cost: seconds a day spent waiting, at %s)\n",
                 kLowMarginMB, report.costs.text().c_str());
    if (beyond)
        std::fprintf(out, "(*: beyond the pane's slider, %d to %d MB: the rules as they would compare, which no setting "
                          "of the phone gives)\n",
                     kSliderMinimumMB, kSliderMaximumMB);
}

namespace {

// Why the recommendation is what it is, after "the slider's value".
std::string why(const Recommendation& r, const std::string& days)
{
    const std::string byDefault = std::to_string(Holdout::kDefaultThreshold) + " MB";
    switch (r.why) {
    case Advice::Why::LeastCost:
        return "at which the " + days + " cost least";
    case Advice::Why::CutsLow:
        return "that cuts the time " + byDefault + " leaves memory low over the " + days + " to "
            + std::to_string(int(Advice::kLowShare * 100)) + " % or less, at the least cost";
    case Advice::Why::NoneCutsLow:
        return "that leaves memory low the least over the " + days;
    case Advice::Why::SavesClearly:
        return "at which the " + days + " cost least, clearly less than at " + byDefault;
    case Advice::Why::Default:
        return "by default, as no other saves clearly against it over the " + days;
    }
    return {};
}

} // namespace

void printRecommendation(std::FILE* out, const Report& report)
{
    const Recommendation* r = libraryRecommendation(report);
    if (!r || !r->threshold)
        return;
    const Figures& f = r->figures;
    double days = double(std::max(1L, f.days));
    std::fprintf(out,
                 "recommended threshold (%s): %d MB, the slider's value %s: %.1f s a day spent waiting (%.2f restarts "
                 "within 10 minutes per 100 switches, %.1f minutes a day with memory low)",
                 r->policy.c_str(), *r->threshold, why(*r, count(f.days, "day", "days")).c_str(), r->costPerDay,
                 f.per100Switches(f.restarts10min), f.secondsLow / 60 / days);
    if (r->beyond)
        std::fprintf(out, "; %d MB, beyond the slider (%d to %d MB), would cost %.1f s a day less", *r->beyond,
                     kSliderMinimumMB, kSliderMaximumMB, r->beyondSaves);
    const Spread& own = r->own;
    if (own.people == 1)
        std::fprintf(out, "; the one person's own value is %d MB\n", own.median);
    else if (own.people > 1)
        std::fprintf(out,
                     "; the %ld people's own values lie from %d to %d MB, half of them from %d to %d MB, %ld "
                     "within %d MB of it\n",
                     own.people, own.lowest, own.highest, own.quarter, own.threeQuarters, own.near, Spread::kNearMB);
    else
        std::fprintf(out, "\n");
}

void printHoldout(std::FILE* out, const Report& report)
{
    if (!report.holdout)
        return;
    const Holdout& h = *report.holdout;
    std::fprintf(out,
                 "holdout (%s): each person's advice drawn from their first %s, scored on the rest of their days "
                 "(%s with more days), summed:\n",
                 report.rulesPlayed().c_str(), count(h.days, "day", "days").c_str(),
                 count(h.people, "person", "people").c_str());
    auto line = [&](const std::string& what, const Figures& f, double cost) {
        std::fprintf(out, "  %-22s %6ld restarts within 10 minutes, %9.1f minutes low, %9.0f s waiting (%.1f a day)\n",
                     what.c_str(), f.restarts10min, f.secondsLow / 60, cost, f.days ? cost / double(f.days) : 0.0);
    };
    line("advice", h.advice, h.adviceCost);
    line(std::to_string(Holdout::kDefaultThreshold) + " MB (the default)", h.byDefault, h.defaultCost);
    line("best in hindsight", h.hindsight, h.hindsightCost);
    std::fprintf(out, "  people whose advice did no worse than %d MB on both restarts and minutes low: %ld of %ld (%s)\n",
                 Holdout::kDefaultThreshold, h.peopleNoWorse, h.people, percent(h.peopleNoWorse, h.people).c_str());
    std::fprintf(out,
                 "  people whose advice restarted at most 10 %% more than %d MB and, where %d MB left memory low an "
                 "hour a day or more, left it low at most half as long: %ld of %ld (%s)\n",
                 Holdout::kDefaultThreshold, Holdout::kDefaultThreshold, h.peopleHeld, h.people,
                 percent(h.peopleHeld, h.people).c_str());
}

void printJson(std::FILE* out, const Report& report)
{
    const char* indent = report.holdout ? "  " : "";
    std::fprintf(out, report.holdout ? "{\"rows\": [" : "[");
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const Figures& f = report.rows[i];
        const Recommendation* r = nullptr;
        for (const Recommendation& candidate : report.recommendations)
            if (candidate.policy == f.policy)
                r = &candidate;
        std::optional<double> gap60, gap10;
        const Figures *parts = find(report.rows, kPartsPolicy, f.threshold), *oracle = find(report.rows, kOraclePolicy, f.threshold);
        if (parts && oracle) {
            gap60 = shareOfGap(parts->regretted60s, f.regretted60s, oracle->regretted60s);
            gap10 = shareOfGap(parts->restartsAfterOurCloses10min, f.restartsAfterOurCloses10min, oracle->restartsAfterOurCloses10min);
        }
        std::optional<double> recommended;
        if (r && r->threshold)
            recommended = *r->threshold;
        std::fprintf(
            out,
            "%s\n%s  {\"policy\": %s, \"threshold\": %d, \"switches\": %ld, \"launches\": %ld, \"cold_launches\": %ld, "
            "\"closes\": %ld, \"restarts_60s\": %.4f, \"restarts_10min\": %.4f, \"restarts_60s_count\": %ld, "
            "\"restarts_10min_count\": %ld, \"regretted_60s\": %.4f, \"regretted_10min\": %.4f, \"minutes_under_threshold\": %.2f, "
            "\"lowest_free\": %s, \"days\": %ld, \"days_without_system_kill\": %ld, \"regretted_60s_count\": %ld, "
            "\"regretted_10min_count\": %ld, \"system_kills\": %ld, \"foreground_kills\": %ld, "
            "\"system_reopened_60s\": %.4f, \"system_reopened_10min\": %.4f, \"system_reopened_60s_count\": %ld, "
            "\"system_reopened_10min_count\": %ld, \"minutes_low\": %.2f, \"share_of_gap_60s\": %s, "
            "\"share_of_gap_10min\": %s, \"recommended_threshold\": %s, \"recommended\": %s, \"people\": %ld, "
            "\"slider_holds\": %s, \"low_launches_count\": %ld, \"cost_per_day\": %.4f, \"own_best_lowest\": %s, "
            "\"own_best_median\": %s, \"own_best_highest\": %s, \"people_near\": %ld, \"beyond_threshold\": %s, "
            "\"beyond_saves_per_day\": %s, \"restarts_after_our_closes_10min\": %.4f, "
            "\"restarts_after_our_closes_10min_count\": %ld, \"restarts_after_system_kills_60s\": %.4f, "
            "\"restarts_after_system_kills_10min\": %.4f, \"restarts_after_system_kills_60s_count\": %ld, "
            "\"restarts_after_system_kills_10min_count\": %ld}",
            i ? "," : "", indent, jsonString(f.policy).c_str(), f.threshold, f.switches, f.launches, f.coldLaunches, f.closes,
            f.per100Switches(f.restarts60s), f.per100Switches(f.restarts10min), f.restarts60s, f.restarts10min,
            f.per100Switches(f.regretted60s), f.per100Switches(f.restartsAfterOurCloses10min), f.secondsUnderThreshold / 60,
            orNull(f.days ? std::optional(f.lowestFree) : std::nullopt, "%.2f").c_str(), f.days,
            f.daysWithoutSystemKill, f.regretted60s, f.restartsAfterOurCloses10min, f.systemKills, f.foregroundKills,
            f.per100Switches(f.restartsAfterSystemKills60s), f.per100Switches(f.restartsAfterSystemKills10min), f.restartsAfterSystemKills60s,
            f.restartsAfterSystemKills10min, f.secondsLow / 60, orNull(gap60).c_str(), orNull(gap10).c_str(),
            orNull(recommended, "%.0f").c_str(), recommended && *recommended == f.threshold ? "true" : "false",
            r ? r->own.people : 0, sliderHolds(f.threshold) ? "true" : "false", f.lowLaunches, report.costs.perDay(f),
            own(r, &Spread::lowest).c_str(), own(r, &Spread::median).c_str(), own(r, &Spread::highest).c_str(),
            r ? r->own.near : 0, orNull(r && r->beyond ? std::optional<double>(*r->beyond) : std::nullopt, "%.0f").c_str(),
            orNull(r && r->beyond ? std::optional(r->beyondSaves) : std::nullopt).c_str(),
            f.per100Switches(f.restartsAfterOurCloses10min), f.restartsAfterOurCloses10min,
            f.per100Switches(f.restartsAfterSystemKills60s), f.per100Switches(f.restartsAfterSystemKills10min),
            f.restartsAfterSystemKills60s, f.restartsAfterSystemKills10min);
    }
    if (!report.holdout) {
        std::fprintf(out, "\n]\n");
        return;
    }
    const Holdout& h = *report.holdout;
    auto figures = [](const Figures& f, double cost) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "{\"restarts_10min_count\": %ld, \"restarts_60s_count\": %ld, \"minutes_low\": %.2f, \"cost\": %.2f, "
                      "\"days\": %ld}",
                      f.restarts10min, f.restarts60s, f.secondsLow / 60, cost, f.days);
        return std::string(text);
    };
    std::fprintf(out,
                 "\n  ],\n  \"holdout\": {\"policy\": %s, \"days\": %ld, \"people\": %ld, \"default_threshold\": %d,\n"
                 "    \"advice\": %s,\n    \"default\": %s,\n    \"hindsight\": %s,\n    \"people_no_worse\": %s, "
                 "\"people_no_worse_count\": %ld,\n    \"people_held\": %s, \"people_held_count\": %ld}\n}\n",
                 jsonString(report.rulesPlayed()).c_str(), h.days, h.people, Holdout::kDefaultThreshold,
                 figures(h.advice, h.adviceCost).c_str(), figures(h.byDefault, h.defaultCost).c_str(),
                 figures(h.hindsight, h.hindsightCost).c_str(),
                 orNull(h.people ? std::optional(double(h.peopleNoWorse) / double(h.people)) : std::nullopt).c_str(),
                 h.peopleNoWorse,
                 orNull(h.people ? std::optional(double(h.peopleHeld) / double(h.people)) : std::nullopt).c_str(),
                 h.peopleHeld);
}

} // namespace replay
