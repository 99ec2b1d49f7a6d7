#pragma once
// The replacement of the home screen's state-change handler, and what it does when a call ends.

#include "platform/runtime/object.h"

// Takes the place of the home screen's "applicationStateChanged:state:".
void Sleepwarden_appLaunch(id self, SEL _cmd, id application, int state);

// The telephony's call state changed: once no call is on, does what the call held back.
void resumeAfterCall();
