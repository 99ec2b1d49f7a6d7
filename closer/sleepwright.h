#pragma once
// The library's entry points and process-wide state.

#include "contract/candidate_list.h"
#include "platform/notify/darwin_notify.h"
#include "platform/runtime/object.h"

#include <memory>

// Exported under kSuspectListSymbol so that the home-screen host can show it.
extern std::unique_ptr<SuspectList> susApp [[gnu::visibility("default")]];

// Gates the renaming routine's two warnings.
extern unsigned char Debug_;

void Sleepwright_initializer();
void SleepwrightRename(bool flag, const char* className, const char* selectorName, IMP replacement);

// Takes the place of the home screen's "applicationStateChanged:state:".
void Sleepwarden_appLaunch(id self, SEL _cmd, id application, int state);

// The telephony's call state changed: once no call is on, does what the call held back.
void resumeAfterCall();

// Darwin notification callbacks; all five arguments are ignored.
void grabAppData(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                 const void* userInfo);
void testToKillAgain(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                     const void* userInfo);
void finalTestToKillAgain(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                          const void* userInfo);
