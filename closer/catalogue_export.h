#pragma once
// The application catalogue export, asked for by "norv.slv.grabapps".

#include "platform/notify/darwin_notify.h"

// Darwin notification callback; all five arguments are ignored.
void grabAppData(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                 const void* userInfo);
