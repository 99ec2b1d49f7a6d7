#pragma once
// The library's start-up inside the home screen and the renaming of its methods.

#include "platform/runtime/object.h"

// Gates the renaming routine's two warnings.
extern unsigned char Debug_;

void Sleepwright_initializer();
// The library's folders, made at start-up when its data folder is missing.
void SleepwrightMakeFolders();
void SleepwrightRename(bool flag, const char* className, const char* selectorName, IMP replacement);
