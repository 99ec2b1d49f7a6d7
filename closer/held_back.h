#pragma once
// What a phone call holds back. Nothing is closed while a call is active, ringing or being placed;
// what would have been done meanwhile waits here until the telephony reports the call's end, and
// is then decided once, afresh: the closes that fell due during the call and the applications
// that left the foreground during it go through the close path with the settings file and the
// free memory of that moment, and low memory gets one close for all of them, after which the
// re-check chain goes on as after any low-memory close.

#include "platform/runtime/object.h"

#include <vector>

class HeldBack {
public:
    // A Timer whose firing met a call; kept alive until the call ends.
    static void holdClose(id timer);
    // An application whose close path met a call; held once, at the place of its latest leave.
    static void holdDecision(id application);
    // An application whose close a call held: decided ahead of those that left during the call.
    static void holdDecisionFirst(id application);
    // The re-check chain met a call with memory still low.
    static void holdRecheck();
    // The application's held decision, if any, no longer stands: it came back, or its close was
    // scheduled some other way.
    static void forget(id application);

    // The held closes, and whether a re-check was held, handed over once.
    struct Work {
        std::vector<sv::rt::Ref> closes;
        bool recheck = false;
    };
    static Work takeClosesAndRecheck();
    // The held decision that comes first, taken out; null when none is left. Taken one at a time,
    // so that a decision that schedules another's close takes that one out.
    static sv::rt::Ref takeNextDecision();
    // Forgets everything held (tests starting afresh).
    static void clear();
};
