#pragma once
// sleepvane-replay's command line: what it takes, its usage and its help.

#include "playback/cost.h"
#include "playback/policies.h"
#include "playback/replay.h"
#include "playback/synthetic.h"

#include <optional>
#include <string>
#include <vector>

namespace replay {

// The synthetic days a run takes (--help states them): the run holds a day at a time, so these
// bound its time (the most take about an hour on two cores, every policy played), not its memory.
inline constexpr long kMostDays = 100000, kMostPeople = 100000, kMostSyntheticDays = 1000000;
// The highest threshold --thresholds takes (MB): well beyond the slider, within any phone's memory.
inline constexpr int kMostThresholdMB = 1000;

struct Options {
    std::vector<std::string> traces;
    int days = 7, people = 50;
    unsigned seed = 1;
    Habits habits;
    DeviceSize device { kDefaultTotalMB, kDefaultBaseMB };
    bool deviceGiven = false;
    std::string footprints;
    bool showFootprints = false;
    std::vector<int> thresholds = { 50, 100, 150, 200, 250, 300 };
    std::vector<std::string> policies = policyNames();
    Costs costs;
    long holdout = 0; // days; 0: none
    bool json = false;
    std::string chart;
    bool checkLibrary = false;
    std::string writeTrace;
    bool help = false, version = false;
};

struct CommandLineProblem {
    std::string text;
    bool unknownOption = false; // the usage follows the line
};

// Reads the command line into options; the first problem with it, or nothing.
std::optional<CommandLineProblem> parseCommandLine(int argc, char** argv, Options& options);

extern const char* const kUsage;
extern const char* const kHelp; // what follows the usage under --help

} // namespace replay
