// A bare observing process for the notification tests:
//   notify-observer <device-root> <name>...
// observes the names, prints "ready", then "got <name>" for each delivery, until its standard
// input ends.
#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"

#include <cstdio>
#include <unistd.h>

namespace {
void print(CFNotificationCenterRef, void*, const char* name, const void*, const void*)
{
    std::printf("got %s\n", name);
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: notify-observer <device-root> <name>...\n");
        return 2;
    }
    sv::fs::setDeviceRoot(argv[1]);
    for (int i = 2; i < argc; ++i)
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, print, argv[i], nullptr, 0);
    sv::RunLoop& loop = sv::RunLoop::main();
    loop.addSource(STDIN_FILENO, [&loop] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            loop.stop();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    loop.run();
    return 0;
}
