#pragma once
// What Learn From Use has learned, as the library keeps it across restarts of the home screen: a
// property-list dictionary, "Uses" (integer, how many uses were learned in all) and
// "Applications" (a dictionary by bundle identifier of {"Score": real, "At": integer}: the
// application's score as it stood when "Uses" was "At"). Written only by the library.

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
}

} // namespace slv::usage
