#include "platform/notify/darwin_notify.h"

#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

struct DarwinNotifyCenter {
    struct Registration {
        std::string name;
        CFNotificationCallback callback;
        const void* observer;
        const void* object;
    };
    std::vector<Registration> registrations;
    int fd = -1;
    std::string socketPath;
    sv::RunLoop::SourceId source = 0;
    sv::notify::Tap tap = nullptr;
    void* tapContext = nullptr;
};

namespace {

DarwinNotifyCenter& center()
{
    static DarwinNotifyCenter instance;
    return instance;
}

constexpr std::size_t kMaximumName = 1024;

bool fillAddress(sockaddr_un& address, const std::string& path)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void deliver(const char* name)
{
    DarwinNotifyCenter& c = center();
    // Callbacks may register more observers; walk a copy.
    auto registrations = c.registrations;
    for (const auto& r : registrations)
        if (r.name == name)
            r.callback(&c, const_cast<void*>(r.observer), name, r.object, nullptr);
    if (c.tap)
        c.tap(name, c.tapContext);
}

void removeSocket()
{
    if (!center().socketPath.empty())
        ::unlink(center().socketPath.c_str());
}

// The work of one turn of the run loop: a burst of posts must leave the loop's other sources and
// its timers their turn, however long each callback takes. What is not read yet waits in the
// socket, in order.
constexpr int kNamesPerTurn = 16;
constexpr auto kTimePerTurn = std::chrono::milliseconds(50);

void receive()
{
    char buffer[kMaximumName + 1];
    auto until = std::chrono::steady_clock::now() + kTimePerTurn;
    for (int turn = 0; turn < kNamesPerTurn && std::chrono::steady_clock::now() < until; ++turn) {
        ssize_t n = ::recv(center().fd, buffer, kMaximumName, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return;
        buffer[n] = '\0';
        deliver(buffer);
    }
}

} // namespace

namespace sv::notify {

bool startListening()
{
    DarwinNotifyCenter& c = center();
    if (c.fd >= 0)
        return true;
    if (!fs::createDirectories(kFolder, 0755))
        return false;
    std::string path = fs::resolve(std::string(kFolder) + "/" + std::to_string(::getpid()) + ".sock");
    sockaddr_un address;
    if (!fillAddress(address, path))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    // Room for a burst of posts before senders have to wait.
    int size = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    c.fd = fd;
    c.socketPath = path;
    c.source = RunLoop::main().addSource(fd, receive);
    static bool cleanupRegistered = (std::atexit(removeSocket), true);
    (void)cleanupRegistered;
    return true;
}

void setTap(Tap tap, void* context)
{
    center().tap = tap;
    center().tapContext = context;
}

void rebindForTesting()
{
    DarwinNotifyCenter& c = center();
    if (c.fd >= 0) {
        RunLoop::main().removeSource(c.source);
        ::close(c.fd);
        ::unlink(c.socketPath.c_str());
    }
    c.fd = -1;
    c.socketPath.clear();
    if ((!c.registrations.empty() || c.tap) && !fs::deviceRoot().empty())
        startListening();
}

} // namespace sv::notify

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter()
{
    return &center();
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef target, const void* observer,
                                     CFNotificationCallback callback, const char* name, const void* object, long)
{
    if (!target || !callback || !name)
        return;
    sv::notify::startListening();
    target->registrations.push_back({ name, callback, observer, object });
}

std::uint32_t notify_post(const char* name)
{
    if (!name || std::strlen(name) > kMaximumName)
        return 1;
    std::string folder = sv::fs::resolve(sv::notify::kFolder);
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ::closedir(dir);
        return 1;
    }
    // A full receiver is waited for briefly: long enough to ride out a burst, never forever.
    timeval limit { 0, 200000 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    std::size_t length = std::strlen(name);
    while (dirent* entry = ::readdir(dir)) {
        std::string file = entry->d_name;
        if (!file.ends_with(".sock"))
            continue;
        std::string path = folder + "/" + file;
        sockaddr_un address;
        if (!fillAddress(address, path))
            continue;
        // Our own socket is only drained by our own run loop: never wait for it.
        int flags = path == center().socketPath ? MSG_DONTWAIT : 0;
        ssize_t sent;
        do
            sent = ::sendto(fd, name, length, flags, reinterpret_cast<sockaddr*>(&address), sizeof address);
        while (sent < 0 && errno == EINTR);
        if (sent < 0 && (errno == ECONNREFUSED || errno == ENOENT))
            ::unlink(path.c_str()); // its process is gone
    }
    ::closedir(dir);
    ::close(fd);
    return 0;
}
