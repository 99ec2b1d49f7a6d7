#pragma once
// The memory re-check chain's two notifications and the re-check itself: a marked close posts
// "norv.swr.kill.app" when it fires; 3.6 s after the latest one "norv.swr.kill.test" comes, and
// with memory still at or below the threshold the oldest suspect that may be closed is closed,
// marked again.

#include "platform/notify/darwin_notify.h"

// "norv.swr.kill.app": (re)starts the wait before the re-check. All five arguments are ignored.
void testToKillAgain(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                     const void* userInfo);
// "norv.swr.kill.test": the wait is over, the re-check runs.
void finalTestToKillAgain(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                          const void* userInfo);

// The memory re-check of the chain: with memory at or below the threshold and no close of the
// chain pending, closes the oldest suspect that may be closed, with re-check; during a call it is
// held back until the call ends.
void recheckMemory();
// The held re-check at a call's end: nothing when the chain already goes on by itself.
void resumeRecheckAfterCall();
