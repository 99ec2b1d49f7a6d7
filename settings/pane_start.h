#pragma once
// What the bundle runs when it is loaded: the registration of its controller classes, the
// observers of the Settings application's going away, and the relays that turn the library's
// system-wide notices into the pane's in-process ones.

#include "platform/notify/darwin_notify.h"

// Registers the pane's controller classes (the root pane, the Never and Always choosers and
// Recently Closed) with the Preferences registry, each under its class's name.
void registerSettingsClasses();

// The load-time constructor.
void Init();

// Darwin callbacks: the library's export finished / made one step.
void appsAllLoaded(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                   const void* userInfo);
void checkOnApps(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                 const void* userInfo);
