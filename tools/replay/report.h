#pragma once
// What the replay prints and draws: the run's parameters, the figures as a table with the
// recommendation, as JSON, and as a chart.

#include "tools/replay/recommend.h"
#include "tools/replay/replay.h"
#include "tools/replay/synthetic.h"

#include <cstdio>
#include <string>
#include <vector>

namespace replay {

struct RunParameters {
    DeviceSize device;
    std::vector<std::string> traces; // none: synthetic days
    long people = 0, days = 0;
    unsigned seed = 0;
    Habits habits;
};

struct Report {
    RunParameters parameters;
    std::vector<Figures> rows;
    std::vector<Recommendation> recommendations; // one a policy, in the rows' order
};

void printParameters(std::FILE* out, const RunParameters& parameters);
void printTable(std::FILE* out, const Report& report);
// The recommendation for the library's rules (parts, or the first policy when parts was not played).
void printRecommendation(std::FILE* out, const Report& report);
void printJson(std::FILE* out, const Report& report);
// Regretted closes, days with a system kill and minutes low against the threshold, a line a
// policy, the recommended threshold marked; a PNG written atomically to a host path. False when
// it cannot be written.
bool writeChart(const Report& report, const std::string& path);

} // namespace replay
