#pragma once
// What the replay prints and draws: the run's parameters, the figures as a table with the
// recommendation, as JSON, and as a chart.

#include "playback/recommend.h"
#include "playback/run.h"
#include "playback/replay.h"
#include "playback/synthetic.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace replay {

struct RunParameters {
    DeviceSize device;
    // Diaries played on the device each shows (the device above is then the others').
    std::vector<std::pair<std::string, DeviceSize>> diaryDevices;
    bool diariesOnly = false;
    std::vector<std::string> traces; // none: synthetic days
    long people = 0, days = 0;
    unsigned seed = 0;
    Habits habits;
};

struct Report {
    RunParameters parameters;
    std::vector<Figures> rows;
    std::vector<Recommendation> recommendations; // one a policy, in the rows' order
    // The policy whose recommendation is printed (when it was played): the rules the days were
    // lived under (learn-from-use for diaries: there is a diary only while it is on).
    std::string rules = kPartsPolicy;
    Costs costs;
    std::optional<Holdout> holdout; // the rules', with --holdout
    // The policy whose recommendation is printed: rules, or parts, or the first played.
    std::string rulesPlayed() const;
};

void printParameters(std::FILE* out, const RunParameters& parameters);
// What each application was taken to hold while it runs, and where the figure came from.
void printFootprints(std::FILE* out, const std::map<std::string, App>& apps, const Footprints& footprints);
void printTable(std::FILE* out, const Report& report);
// The recommendation for the rules (Report::rules, or parts, or the first policy played).
void printRecommendation(std::FILE* out, const Report& report);
// With --holdout: the advice from each person's first days against the default and hindsight.
void printHoldout(std::FILE* out, const Report& report);
// A list of rows; with --holdout, an object of the rows and the holdout.
void printJson(std::FILE* out, const Report& report);
// The cost a day, restarts and minutes low against the threshold (spaced by megabytes), a line a
// policy, the recommended threshold marked; a PNG written atomically to a host path. False when
// it cannot be written.
bool writeChart(const Report& report, const std::string& path);

} // namespace replay
