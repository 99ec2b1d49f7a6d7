#include "tools/replay/report.h"

#include "tools/replay/printable.h"

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
        for (const std::string& rules : { report.rules, std::string("parts") })
            for (const Recommendation& r : report.recommendations)
                if (r.policy == rules)
                    return &r;
        return report.recommendations.empty() ? nullptr : &report.recommendations.front();
    }

    std::string orNull(std::optional<double> value, const char* format = "%.4f")
    {
        if (!value)
            return "null";
        char text[40];
        std::snprintf(text, sizeof text, format, *value);
        return text;
    }

} // namespace

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
    std::fprintf(out, "%-*s %9s %8s %8s %7s %7s %11s %13s %9s %8s %10s %9s %11s %12s\n", width, "policy",
                 "threshold", "switches", "launches", "cold", "closes", "restart 60s", "restart 10min", "sys kills",
                 "fg kills", "min under", "min low", "lowest free", "days no kill");
    bool beyond = false;
    for (const Figures& f : report.rows) {
        std::string lowest = f.days ? mb(f.lowestFree) : "-";
        std::string threshold = std::to_string(f.threshold) + (sliderHolds(f.threshold) ? "" : "*");
        beyond = beyond || !sliderHolds(f.threshold);
        std::fprintf(out, "%-*s %9s %8ld %8ld %7ld %7ld %11.2f %13.2f %9ld %8ld %10.1f %9.1f %11s %12s\n", width,
                     f.policy.c_str(), threshold.c_str(), f.switches, f.launches, f.coldLaunches, f.closes,
                     f.per100Switches(f.restarts60s), f.per100Switches(f.restarts10min), f.systemKills,
                     f.foregroundKills, f.secondsUnderThreshold / 60, f.secondsLow / 60, lowest.c_str(),
                     percent(f.daysWithoutSystemKill, f.days).c_str());
    }
    std::fprintf(out, "(restarts: applications opened again within 60 s or 10 minutes after the policy closed them or "
                      "the system killed them, per 100 switches; minutes under: free memory at or below the threshold; "
                      "minutes low: under the floor plus %.0f MB)\n",
                 kLowMarginMB);
    if (beyond)
        std::fprintf(out, "(*: beyond the pane's slider, %d to %d MB: the rules as they would compare, which no setting "
                          "of the phone gives)\n",
                     kSliderMinimumMB, kSliderMaximumMB);
}

void printRecommendation(std::FILE* out, const Report& report)
{
    const Recommendation* r = libraryRecommendation(report);
    if (!r)
        return;
    const Figures& f = r->figures;
    char needed[16];
    std::snprintf(needed, sizeof needed, "%.0f %%", kKillFreeShare * 100);
    std::string days = count(f.days, "day", "days");
    if (r->threshold) {
        std::string people = r->people != 1
            ? "for " + std::to_string(r->peopleWithin) + " of " + std::to_string(r->people)
                + " people their own such threshold lies"
            : r->peopleWithin ? "the one person's own such threshold lies" : "the one person's own such threshold does not lie";
        std::string beyond = sliderHolds(*r->threshold) ? ""
            : "; the pane's slider cannot be set to it (" + std::to_string(kSliderMinimumMB) + " to "
                + std::to_string(kSliderMaximumMB) + " MB)";
        std::fprintf(out,
                     "recommended threshold (%s): %d MB: the system killed nothing on %s of the %s (%s needed); it "
                     "costs %.2f regretted closes within 10 minutes per 100 switches (%s); %s within one step of "
                     "it%s\n",
                     r->policy.c_str(), *r->threshold, percent(f.daysWithoutSystemKill, f.days).c_str(), days.c_str(),
                     needed, f.per100Switches(f.regretted10min),
                     count(f.regretted10min, "regretted close", "regretted closes").c_str(), people.c_str(),
                     beyond.c_str());
        return;
    }
    std::vector<int> thresholds;
    for (const Figures& row : report.rows)
        if (row.policy == r->policy)
            thresholds.push_back(row.threshold);
    int low = thresholds.empty() ? 0 : *std::min_element(thresholds.begin(), thresholds.end());
    int high = thresholds.empty() ? 0 : *std::max_element(thresholds.begin(), thresholds.end());
    if (low == high)
        std::fprintf(out, "recommended threshold (%s): %d MB does not qualify: the system killed nothing on %s of the %s "
                          "(%s needed)\n",
                     r->policy.c_str(), low, percent(f.daysWithoutSystemKill, f.days).c_str(), days.c_str(), needed);
    else
        std::fprintf(out,
                     "recommended threshold (%s): none of %d to %d MB qualifies: the system killed nothing on at most %s "
                     "of the %s (at %d MB; %s needed)\n",
                     r->policy.c_str(), low, high, percent(f.daysWithoutSystemKill, f.days).c_str(), days.c_str(),
                     f.threshold, needed);
}

void printJson(std::FILE* out, const Report& report)
{
    std::fprintf(out, "[");
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const Figures& f = report.rows[i];
        const Recommendation* r = nullptr;
        for (const Recommendation& candidate : report.recommendations)
            if (candidate.policy == f.policy)
                r = &candidate;
        std::optional<double> gap60, gap10;
        const Figures *parts = find(report.rows, "parts", f.threshold), *oracle = find(report.rows, "oracle", f.threshold);
        if (parts && oracle) {
            gap60 = shareOfGap(parts->regretted60s, f.regretted60s, oracle->regretted60s);
            gap10 = shareOfGap(parts->regretted10min, f.regretted10min, oracle->regretted10min);
        }
        std::optional<double> recommended;
        if (r && r->threshold)
            recommended = *r->threshold;
        std::fprintf(
            out,
            "%s\n  {\"policy\": %s, \"threshold\": %d, \"switches\": %ld, \"launches\": %ld, \"cold_launches\": %ld, "
            "\"closes\": %ld, \"restarts_60s\": %.4f, \"restarts_10min\": %.4f, \"restarts_60s_count\": %ld, "
            "\"restarts_10min_count\": %ld, \"regretted_60s\": %.4f, \"regretted_10min\": %.4f, \"minutes_under_threshold\": %.2f, "
            "\"lowest_free\": %s, \"days\": %ld, \"days_without_system_kill\": %ld, \"regretted_60s_count\": %ld, "
            "\"regretted_10min_count\": %ld, \"system_kills\": %ld, \"foreground_kills\": %ld, "
            "\"system_reopened_60s\": %.4f, \"system_reopened_10min\": %.4f, \"system_reopened_60s_count\": %ld, "
            "\"system_reopened_10min_count\": %ld, \"minutes_low\": %.2f, \"share_of_gap_60s\": %s, "
            "\"share_of_gap_10min\": %s, \"recommended_threshold\": %s, \"recommended\": %s, \"people\": %ld, "
            "\"people_within_one_step\": %ld, \"slider_holds\": %s}",
            i ? "," : "", jsonString(f.policy).c_str(), f.threshold, f.switches, f.launches, f.coldLaunches, f.closes,
            f.per100Switches(f.restarts60s), f.per100Switches(f.restarts10min), f.restarts60s, f.restarts10min,
            f.per100Switches(f.regretted60s), f.per100Switches(f.regretted10min), f.secondsUnderThreshold / 60,
            orNull(f.days ? std::optional(f.lowestFree) : std::nullopt, "%.2f").c_str(), f.days,
            f.daysWithoutSystemKill, f.regretted60s, f.regretted10min, f.systemKills, f.foregroundKills,
            f.per100Switches(f.systemReopened60s), f.per100Switches(f.systemReopened10min), f.systemReopened60s,
            f.systemReopened10min, f.secondsLow / 60, orNull(gap60).c_str(), orNull(gap10).c_str(),
            orNull(recommended, "%.0f").c_str(), recommended && *recommended == f.threshold ? "true" : "false",
            r ? r->people : 0, r && r->threshold ? r->peopleWithin : 0, sliderHolds(f.threshold) ? "true" : "false");
    }
    std::fprintf(out, "\n]\n");
}

} // namespace replay
