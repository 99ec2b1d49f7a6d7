// The application catalogue export.
#include "closer/sleepwright.h"

void grabAppData(CFNotificationCenterRef, void*, const char*, const void*, const void*) { }
