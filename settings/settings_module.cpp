// Only the bundle's shared object runs these at load, so that tests choose when to run them.
// The classes become known (as the runtime's loading makes them known on the phone) and Init
// runs; neither needs the other first.
#include "settings/pane_start.h"

[[gnu::used, gnu::section(".init_array")]] static void (*const registerClasses)() = registerSettingsClasses;
[[gnu::used, gnu::section(".init_array")]] static void (*const runInit)() = Init;
