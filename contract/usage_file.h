#pragma once
// What Learn From Use has learned, as the library keeps it across restarts of the home screen: a
// property-list dictionary, "Uses" (integer, how many uses were learned in all) and
// "Applications" (a dictionary by bundle identifier of {"Score": real, "At": integer}: the
// application's score as it stood when "Uses" was "At"; and "Next", a dictionary by bundle
// identifier of integer counts: what came to the foreground right after it, at most 4 of them),
// and "Footprint", integer, the megabytes our closes of it freed), "Front" (string, the application
// last in front) and "Weights" (a dictionary of two integers, "Rules" and "Score": the halvings of
// each expert's weight, 0 for the heavier). Written only by the library; a library that knows
// only "Uses", "Score" and "At" reads the file as well, and this one reads theirs (with the
// weights of a new phone).

#include <string_view>

namespace slv::usage {

inline constexpr std::string_view Path = "/var/mobile/Library/Sleepvane/Usage.plist";
// A library function, exported under this name, that hands each application learned, most
// likely first, to a callback (the home-screen host's `show usage`).
inline constexpr const char* kShowSymbol = "SleepwrightShowUsage";
using ShowFunction = void (*)(void (*line)(const char* bundleID, double score, void* context), void* context);

namespace key {
    inline constexpr std::string_view Uses = "Uses";
    inline constexpr std::string_view Applications = "Applications";
    inline constexpr std::string_view Score = "Score";
    inline constexpr std::string_view At = "At";
    inline constexpr std::string_view Next = "Next";
    inline constexpr std::string_view Front = "Front";
    inline constexpr std::string_view Footprint = "Footprint";
    inline constexpr std::string_view Weights = "Weights";
    inline constexpr std::string_view RulesExpert = "Rules";
    inline constexpr std::string_view ScoreExpert = "Score";
}

} // namespace slv::usage
