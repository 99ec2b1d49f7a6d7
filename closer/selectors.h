#pragma once
// The library's own classes and the selectors they answer, spelled once: a message the runtime
// does not answer is quietly dropped, so a misspelt selector would fail silently at each use.

#include "platform/runtime/object.h"

#include <string>
#include <string_view>

namespace swr {

namespace cls {
    inline constexpr const char* Timer = "Timer";
    inline constexpr const char* WaitToCheckTimer = "WaitToCheckTimer";
}

namespace sel {
    // Timer
    inline constexpr const char* startTimerWithApp = "startTimerWithApp:andBundleID:";
    inline constexpr const char* killAgains = "killAgains";
    inline constexpr const char* seeIfSameAppOpens = "seeIfSameAppOpens:";
    inline constexpr const char* killApp = "killApp:";
    inline constexpr const char* finalTestToKill = "finalTestToKill";
    // WaitToCheckTimer
    inline constexpr const char* start = "start";
    inline constexpr const char* finishTime = "finishTime";
    // both, from the root class
    inline constexpr const char* init = "init";
    inline constexpr const char* dealloc = "dealloc";
}

// The renaming keeps a home-screen method's own behaviour under this prefix.
inline constexpr std::string_view kRenamePrefix = "SWR_";

inline std::string renamedSelector(std::string_view selectorName)
{
    return std::string(kRenamePrefix).append(selectorName);
}

// A yes-or-no question to an object of the home screen; a null receiver answers no.
inline bool ask(id receiver, const char* question)
{
    return sv::rt::msgSend<bool>(receiver, question);
}

} // namespace swr
