#pragma once
// Close timers: a close one second ahead through the app switcher's close box, called off by a
// cancel notice for the same identifier, and the memory re-check chain that follows a marked one.

#include "platform/foundation/run_loop.h"
#include "platform/runtime/object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Why the decision asked for a close, for the close history: one of slv::history::reason, and
// for low memory the figure it compared with the threshold.
struct CloseReason {
    std::string_view text;
    std::optional<std::int64_t> freeMemory;
};

// The C++ side of a "Timer" object.
struct TimerState : sv::rt::ObjectState {
    std::optional<sv::RunLoop::TimerId> mainTimer; // the scheduled run-loop timer, until it fires
    std::optional<std::string> bundleID;           // what to close, until the timer fires
    bool DoNotRun = false;                         // a cancel notice for bundleID arrived
    bool KillAgain = false;                        // the re-check chain follows the firing
    bool chainClosePending = false;                // counted among the chain's pending closes
    CloseReason reason;                            // recorded when the firing closes
};

// "Timer" and "WaitToCheckTimer", registered on first use.
Class timerClass();
Class waitToCheckTimerClass();

// Calls off every pending close of bundleId (an NSString), then, with an application, schedules
// its close one second ahead; killAgain continues the re-check chain after it. Without an
// identifier nothing happens at all. The reason goes into the close history if the close happens.
void runTimer(id app, id bundleId, bool killAgain, CloseReason reason = {});

// The memory re-check of the chain: with memory at or below the threshold and no close of the
// chain pending, closes the oldest suspect that may be closed, with re-check; during a call it is
// held back until the call ends.
void recheckMemory();
// The held re-check at a call's end: nothing when the chain already goes on by itself.
void resumeRecheckAfterCall();
// Forgets the chain's pending wait and counts (tests starting afresh).
void resetRecheckChain();

inline constexpr double kCloseDelay = 1.0;
// The single-precision 3.6 the wait was written with, widened.
inline constexpr double kRecheckDelay = static_cast<double>(3.6f);
