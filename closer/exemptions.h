#pragma once
// What is never closed, shared by the close decision and the re-check chain: nothing during a
// call, never the three fixed identifiers nor a never-listed application.

#include "closer/close_timer.h"
#include "platform/foundation/value.h"

#include <optional>
#include <string_view>

// A call is active, ringing or being placed.
bool callInProgress();

// "com.apple.springboard", "com.apple.mobilephone", "com.apple.AdSheetPhone".
bool isFixedNeverClosed(std::string_view bundleID);

// Schedules, with re-check, the close of the oldest suspect that may be closed, and takes it out
// of the suspect list. On the way, fixed suspects stay in the list and never-listed ones
// (by settings, as read from the settings file in the caller's call) and those without an
// identifier leave it. The reason goes into the close history if the close
// happens. False when no suspect was taken. With Learn From Use on, the suspect taken is the one
// least likely to come back instead of the oldest, and every never-listed suspect and one
// without an identifier leaves the list.
bool closeOldestSuspect(const sv::Dictionary* settings, CloseReason reason);
