// Close timers and the memory re-check chain.
#include "closer/sleepwright.h"

void testToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*) { }

void finalTestToKillAgain(CFNotificationCenterRef, void*, const char*, const void*, const void*) { }
