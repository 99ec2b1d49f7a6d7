#pragma once
// What is never closed, asked by the close decision and the re-check chain: nothing during a
// call, never the three fixed identifiers.

#include <string_view>

// A call is active, ringing or being placed.
bool callInProgress();

// "com.apple.springboard", "com.apple.mobilephone", "com.apple.AdSheetPhone".
bool isFixedNeverClosed(std::string_view bundleID);
