#pragma once
// The pane's saves that are not in the settings file yet. A save that could not get the lock or
// could not be written stays here and is written at the next chance: the next save, the next
// appearance of a pane screen, or a retry shortly after. Every failed attempt posts
// slv::local::SaveFailed once per key it held.

#include "platform/foundation/value.h"

class SLVPendingSaves {
public:
    static constexpr double kRetryDelay = 0.5;
    // How long a save waits for the lock while the last attempt found it busy (the retry timer
    // waits the full deadline).
    static constexpr double kBusyTimeout = 0.01;

    // Merges the entries over what is pending and writes it all, keeping every other key.
    static void save(const sv::Dictionary& changes);
    // Writes what is pending, if anything.
    static void retry();
    static const sv::Dictionary& pending();

private:
    static void attempt(bool retrying);
};
