#pragma once
// Close timers: a close one second ahead through the app switcher's close box, called off by a
// cancel notice for the same identifier, and the state of the memory re-check chain that follows
// a marked one (its notifications and the re-check itself are in recheck_chain.h).

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
    sv::rt::Ref application;                       // whose close it is, until it fires or its call ends
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

// A close that fell due during a call gives way, at the call's end, to a decision made afresh:
// it closes nothing itself and no longer counts among the chain's pending closes. Answers whose
// close it was (null when called off meanwhile) and whether the chain was to follow it.
struct HeldClose {
    sv::rt::Ref application;
    bool killAgain = false;
};
HeldClose retireHeldClose(id timer);

// One re-check chain at a time. Every close marked for re-check counts as pending until it
// fires; its firing posts "norv.swr.kill.app", whose wait replaces any wait still pending, so
// that the re-check comes 3.6 s after the chain's latest close; and a re-check that finds a
// marked close pending leaves the chain to it.
struct RecheckChain {
    int pendingCloses = 0;
    std::optional<sv::RunLoop::TimerId> wait; // the WaitToCheckTimer's run-loop timer
    bool awaitingRecheck = false;             // "norv.swr.kill.app" posted, its re-check not run yet
};
RecheckChain& recheckChain();
// Forgets the chain's pending wait and counts (tests starting afresh).
void resetRecheckChain();

// model/ states both delays again, on its own, for the referee.
inline constexpr double kCloseDelay = 1.0;
// The single-precision 3.6 the wait was written with, widened.
inline constexpr double kRecheckDelay = static_cast<double>(3.6f);
