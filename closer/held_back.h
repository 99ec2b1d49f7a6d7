#pragma once
// What a phone call holds back. Nothing is closed while a call is active, ringing or being placed;
// what would have been done meanwhile waits here until the telephony reports the call's end, and
// is then done in this order: the closes that fell due during the call (in the order they fell
// due), the decisions of the applications that left the foreground during it (in the order of
// their last leave), and the memory re-check that the call stopped.

#include "platform/runtime/object.h"

#include <vector>

class HeldBack {
public:
    // A Timer whose firing met a call; kept alive until the call ends.
    static void holdClose(id timer);
    // An application whose close path met a call; held once, at the place of its latest leave.
    static void holdDecision(id application);
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
    // The held decision of the application that left first, taken out; null when none is left.
    // Taken one at a time, so that a decision that schedules another's close takes that one out.
    static sv::rt::Ref takeNextDecision();
    static bool empty();
    // Forgets everything held (tests starting afresh).
    static void clear();
};
