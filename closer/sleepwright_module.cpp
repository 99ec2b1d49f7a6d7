// Only the shared library registers the initializer, so that tests can run it when they choose.
#include "closer/sleepwright.h"

[[gnu::used, gnu::section(".init_array")]] static void (*const registerInitializer)() = Sleepwright_initializer;
