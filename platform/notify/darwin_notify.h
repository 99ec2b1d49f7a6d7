#pragma once
// System-wide named notifications, name only, no payload. Every process that observes a name
// binds one Unix datagram socket in the device's notification folder; a post sends the name to
// every socket there without ever waiting, and hands it to its own process directly. A name that
// finds an observer's socket full is not lost: its post is also stamped in a table shared by the
// device's processes, from which the observer delivers it once when it catches up. Callbacks run
// on the receiver's main run loop.

#include <cstdint>

using CFNotificationCenterRef = struct DarwinNotifyCenter*;
using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, const char* name,
                                        const void* object, const void* userInfo);

inline constexpr long CFNotificationSuspensionBehaviorDrop = 1;

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
// Registers callback for name. The observer and object are handed back to the callback as given.
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, const char* name, const void* object,
                                     long suspensionBehavior);
// Posts name to every observing process; answers 0 on success.
std::uint32_t notify_post(const char* name);

namespace sv::notify {

inline constexpr const char* kFolder = "/var/run/notify";

// Observer taps for hosts and tests: called for every name this process receives, after the
// registered callbacks.
using Tap = void (*)(const char* name, void* context);
void setTap(Tap tap, void* context);

// Makes this process receive posts even if nothing is observed yet (hosts that print what they
// see). Idempotent. A process whose socket is removed binds a new one.
bool startListening();

// Told, once each time this process wants to listen and cannot, why not (a sentence).
using Reporter = void (*)(const char* problem);
void setReporter(Reporter reporter);

// Closes this process's socket and, when anything is observed, binds a new one under the current
// device root (tests that change the root). Registrations stay.
void rebindForTesting();

} // namespace sv::notify
