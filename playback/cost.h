#pragma once
// What a day under a policy costs the person holding the phone, in one figure they feel: seconds
// a day spent waiting. It is built from what the replay counts: a restart (an application opened
// again soon after it was closed, by the policy or the system) waits for a cold start; a launch
// while memory is low waits for the system to free memory; a kill of the application in front
// costs most, for what was being done in it. docs/replay.md says where each default comes from.

#include "playback/replay.h"

#include <optional>
#include <string>
#include <string_view>

namespace replay {

struct Costs {
    double restart = 3.0;    // s, a cold start and finding one's place again
    double lowLaunch = 0.25; // s, the system freeing memory before a launch can go on
    double frontKill = 30.0; // s, the application in front gone, and what was being done in it

    // Seconds spent waiting over the figures' days; per day (0 for no day).
    double of(const Figures& f) const;
    double perDay(const Figures& f) const { return f.days ? of(f) / double(f.days) : 0; }
    // "restart=2,low-launch=0.25,front-kill=30"
    std::string text() const;
};

// Reads "name=value,..." (restart, low-launch, front-kill; each a finite number of seconds, 0 or
// more) over the defaults; the problem, or nothing.
std::optional<std::string> parseCosts(std::string_view text, Costs& costs);

} // namespace replay
