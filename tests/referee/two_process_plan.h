#pragma once
// The plan of a two-process day: what the home screen and the pane do and when, as a seed makes
// it, and the model's view of it (the timeline the model plays, its events, and how clear of
// each other the plan keeps decisions, timers and saves).

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace twoprocess {

inline constexpr double kPlanMargin = 0.45;
inline constexpr double kRunMargin = 0.12;
inline constexpr double kLate = 0.3;
inline constexpr double kNavigationLead = 0.8; // a pane step's screen is reached this long before it
inline constexpr double kTimedPart = 5.0;
inline constexpr double kTail = 1.4;
inline constexpr int kAttempts = 3;

inline const char* const kSettingsFile = "/var/mobile/Library/Preferences/com.norv.slv.plist";
inline const char* const kHistoryFile = "/var/mobile/Library/Sleepvane/History.plist";

enum class Screen { Root, Never, Always, Recent };
struct PaneStep {
    double at = 0;
    enum Kind { Drag, Never, Always, Recent } kind = Drag;
    int value = 0;   // Drag: the threshold asked for
    int app = 0;     // Never, Always: the application tapped
};
struct HomeBlock {
    double at = 0;
    std::string lines;
    int after = -1; // the step whose save this block's leave follows, if any
};
struct Plan {
    std::string setup;
    std::vector<HomeBlock> blocks;
    std::vector<PaneStep> steps;
    std::vector<std::string> ids, names;
    std::vector<std::string> never, always;
    int threshold = 0;
    double end = 0;
};

std::string listText(const std::vector<std::string>& ids);
bool has(const std::vector<std::string>& list, const std::string& id);

// What a tap in a chooser does to the lists: the other list's applications get the "Error"
// alert, listed ones are taken off at once, others are added after "Yes".
struct Lists {
    std::vector<std::string> never, always;
    int threshold = 0;
    // The answer the tap needs ("" for none) and whether it saves.
    std::pair<std::string, bool> tap(PaneStep::Kind kind, const std::string& id)
    {
        auto& own = kind == PaneStep::Always ? always : never;
        auto& other = kind == PaneStep::Always ? never : always;
        if (has(other, id))
            return { "Dismiss", false };
        if (kind == PaneStep::Recent && has(own, id))
            return { "", false };
        if (has(own, id)) {
            std::erase(own, id);
            return { "", true };
        }
        own.push_back(id);
        return { "Yes", true };
    }
};

// "wait <seconds>" as the hosts read it.
std::string wait(double seconds);

// A day's plan from its seed: applications, the settings the day starts with, the home screen's
// blocks of commands and the pane's steps, each at a time of the timed part.
Plan makePlan(std::uint64_t seed);

struct Timed {
    double at;
    std::string lines;
    bool save;
};

// The model's scenario for a timeline of home-screen blocks and settings changes.
std::string modelScenario(const std::string& setup, std::vector<Timed> items, double end);

struct ModelEvent {
    double at;
    std::string text;
};

// The plan as the model sees it: the home blocks and the saves the steps make, at their planned
// times; without the save of step `stale`, which is moved to `staleAt` instead.
std::vector<Timed> timeline(const Plan& plan, int stale = -1, double staleAt = 0);

// The model's closes and chain posts in lines it printed.
std::vector<ModelEvent> parseEvents(const std::vector<std::string>& lines);
// The least distance from a moment to any moment the model closes, posts or fires a timer at.
double clearance(double at, const std::vector<ModelEvent>& events);
// Moves the plan's later part on until, as the model sees it, no home block and no save is within
// the margin of a timer, and no save within it of a home block.
void keepClear(Plan& plan);

// What the files at the end of a day lost, read with Python's plistlib (empty when nothing): the
// settings file must hold the lists and the threshold as the pane's steps left them, the
// catalogue every application, the history every close (in order).
std::string whatTheFilesLost(const std::string& root, const Lists& lists, const std::vector<std::string>& ids,
                             const std::vector<std::string>& closes);

} // namespace twoprocess
