#pragma once
// The library's start-up inside the home screen and the renaming of its methods.

#include "platform/runtime/object.h"

// Gates the renaming routine's two warnings.
extern unsigned char Debug_;

void Sleepwright_initializer();
void SleepwrightRename(bool flag, const char* className, const char* selectorName, IMP replacement);
