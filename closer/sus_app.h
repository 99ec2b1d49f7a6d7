#pragma once
// The suspect list: applications that left the foreground and may be closed later, oldest first,
// and the pick of the oldest one that may be closed.

#include "closer/close_timer.h"
#include "contract/sus_app_list.h"
#include "platform/foundation/value.h"

#include <memory>

// Exported under kSuspectListSymbol so that the home-screen host can show it. Made at start-up
// in the home screen only; null elsewhere.
extern std::unique_ptr<SuspectList> susApp [[gnu::visibility("default")]];

// Schedules, with re-check, the close of the oldest suspect that may be closed, and takes it out
// of the suspect list. On the way, fixed suspects stay in the list and never-listed ones
// (by settings, as read from the settings file in the caller's call) and those without an
// identifier leave it. The reason goes into the close history if the close
// happens. False when no suspect was taken. With Learn From Use on, the suspect taken is the one
// its rule picks (the two left last kept while another may go, of the others the least likely to
// come back) instead of the oldest, and every never-listed suspect and one without an identifier
// leaves the list.
bool closeNextSuspect(const sv::Dictionary* settings, CloseReason reason);
