#include "platform/notify/darwin_notify_center.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::notify::detail {

DarwinNotifyCenter& center()
{
    static DarwinNotifyCenter instance;
    return instance;
}

// The work of one turn of the run loop: a burst of posts must leave the loop's other sources and
// its timers their turn, however long each callback takes. What is not read yet waits, in order.
constexpr int kNamesPerTurn = 16;
constexpr auto kTimePerTurn = std::chrono::milliseconds(50);

static void deliver(const std::string& name)
{
    DarwinNotifyCenter& c = center();
    // Callbacks may register more observers; walk a copy.
    auto registrations = c.registrations;
    for (const auto& r : registrations)
        if (r.name == name)
            r.callback(&c, const_cast<void*>(r.observer), name.c_str(), r.object, nullptr);
    if (c.tap)
        c.tap(name.c_str(), c.tapContext);
}

// One post reaching this process, by datagram or from itself.
static void arrive(const std::string& name, std::uint64_t stamp)
{
    DarwinNotifyCenter& c = center();
    auto found = c.progress.find(name);
    if (found != c.progress.end() && stamp != 0) {
        if (stamp <= found->second.covered)
            return;
        found->second.seen = std::max(found->second.seen, stamp);
    }
    deliver(name);
}

// Delivers once every observed name posted since it was last delivered, oldest post first.
static void catchUp()
{
    DarwinNotifyCenter& c = center();
    if (!c.table)
        return;
    std::vector<std::pair<std::uint64_t, std::string>> due;
    for (auto& [name, progress] : c.progress)
        if (std::uint64_t latest = c.table->latest(name); latest > progress.seen)
            due.emplace_back(latest, name);
    std::sort(due.begin(), due.end());
    for (const auto& [stamp, name] : due) {
        auto& progress = c.progress[name];
        progress.seen = progress.covered = std::max(progress.seen, stamp);
        deliver(name);
    }
}

void rebase()
{
    DarwinNotifyCenter& c = center();
    for (auto& [name, progress] : c.progress)
        progress.seen = progress.covered = c.table ? c.table->latest(name) : 0;
}

static void report(const std::string& problem)
{
    DarwinNotifyCenter& c = center();
    if (!c.reported && c.reporter)
        c.reporter(("cannot listen for notifications: " + problem).c_str());
    c.reported = true;
}

static bool ownSocketInPlace()
{
    DarwinNotifyCenter& c = center();
    if (c.socket < 0 || !c.folder)
        return false;
    struct stat info;
    if (::fstatat(c.folder->fd(), c.socketName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISSOCK(info.st_mode)
        || info.st_ino != c.socketInode)
        return false;
    // The folder itself may have been moved away or replaced.
    auto current = NotifyFolder::open(false);
    return current && current->sameAs(*c.folder);
}

static void closeSocket()
{
    DarwinNotifyCenter& c = center();
    if (c.socket < 0)
        return;
    ::epoll_ctl(c.poller, EPOLL_CTL_DEL, c.socket, nullptr);
    struct stat info;
    if (c.folder && ::fstatat(c.folder->fd(), c.socketName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
        && info.st_ino == c.socketInode)
        ::unlinkat(c.folder->fd(), c.socketName.c_str(), 0);
    ::close(c.socket);
    c.socket = -1;
}

static void removeSocketAtExit()
{
    closeSocket();
}

static void turn();

static bool makeSources()
{
    DarwinNotifyCenter& c = center();
    if (c.poller >= 0)
        return true;
    c.poller = ::epoll_create1(EPOLL_CLOEXEC);
    c.wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    c.watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (c.poller < 0 || c.wake < 0) {
        for (int* fd : { &c.poller, &c.wake, &c.watch })
            if (*fd >= 0)
                ::close(std::exchange(*fd, -1));
        return false;
    }
    for (int fd : { c.wake, c.watch }) {
        epoll_event event {};
        event.events = EPOLLIN;
        if (fd >= 0)
            ::epoll_ctl(c.poller, EPOLL_CTL_ADD, fd, &event);
    }
    c.source = sv::RunLoop::main().addSource(c.poller, turn);
    return true;
}

void dropSources()
{
    DarwinNotifyCenter& c = center();
    closeSocket();
    if (c.poller < 0)
        return;
    sv::RunLoop::main().removeSource(c.source);
    for (int* fd : { &c.poller, &c.wake, &c.watch })
        if (*fd >= 0)
            ::close(std::exchange(*fd, -1));
    c.watched = -1;
}

bool listen()
{
    DarwinNotifyCenter& c = center();
    closeSocket();
    bool sources = makeSources();
    std::string problem;
    auto folder = NotifyFolder::open(true, &problem);
    if (!folder) {
        report(problem);
        return false;
    }
    bool sameFolder = c.folder && c.folder->sameAs(*folder);
    c.folder = std::move(folder);
    if (!sameFolder || !c.table || !c.table->inPlace(*c.folder)) {
        c.table = StampTable::open(*c.folder);
        rebase();
    }
    c.socketName = std::to_string(::getpid()) + ".sock";
    sockaddr_un address;
    socklen_t length = 0;
    if (!sources || !c.folder->address(c.socketName, address, length)) {
        report(std::string(sv::notify::kFolder) + ": the folder cannot be addressed");
        return false;
    }
    int fd = -1;
    struct stat info;
    bool bound = false;
    // A socket removed by someone else between its binding and its stat is bound again.
    for (int attempt = 0; attempt < 3 && !bound; ++attempt) {
        if (fd >= 0)
            ::close(fd);
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::unlinkat(c.folder->fd(), c.socketName.c_str(), 0); // left by a process gone with our number
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
            break;
        bound = ::fstatat(c.folder->fd(), c.socketName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    }
    if (!bound) {
        report(std::string(sv::notify::kFolder) + "/" + c.socketName + ": " + std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    // Room for a burst of posts; the kernel also caps the count of datagrams a socket holds.
    int size = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    c.socket = fd;
    c.socketInode = info.st_ino;
    epoll_event event {};
    event.events = EPOLLIN;
    ::epoll_ctl(c.poller, EPOLL_CTL_ADD, fd, &event);
    if (c.watch >= 0) {
        if (c.watched >= 0)
            ::inotify_rm_watch(c.watch, c.watched);
        c.watched = ::inotify_add_watch(c.watch, c.folder->viaDescriptor().c_str(),
                                        IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    }
    c.misses = c.table ? c.table->misses(c.socketName) : 0;
    c.reported = false;
    static bool cleanupRegistered = (std::atexit(removeSocketAtExit), true);
    (void)cleanupRegistered;
    // What was posted while this process could not hear it, delivered from its loop.
    c.catchUpDue = true;
    wakeOwnLoop();
    return true;
}

// Something left the folder: if it was this process's socket, or the folder itself, listen anew.
static void checkFolder()
{
    DarwinNotifyCenter& c = center();
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (c.watch >= 0 && ::read(c.watch, events, sizeof events) > 0)
        changed = true;
    if (!changed || !c.wanted)
        return;
    if (!ownSocketInPlace()) {
        listen();
    } else if (!c.table || !c.table->inPlace(*c.folder)) {
        c.table = StampTable::open(*c.folder);
        rebase();
    }
}

void wakeOwnLoop()
{
    std::uint64_t one = 1;
    if (center().wake >= 0)
        (void)!::write(center().wake, &one, sizeof one);
}

static void turn()
{
    DarwinNotifyCenter& c = center();
    checkFolder();
    std::uint64_t count;
    (void)!::read(c.wake, &count, sizeof count);

    auto until = std::chrono::steady_clock::now() + kTimePerTurn;
    auto timeLeft = [&until] { return std::chrono::steady_clock::now() < until; };
    int handled = 0;
    // Taken one at a time, and delivered without the lock: a callback may post.
    auto takeOwn = [&c](DarwinNotifyCenter::OwnPost& post) {
        std::lock_guard lock(c.posting);
        if (c.own.empty())
            return false;
        post = std::move(c.own.front());
        c.own.pop_front();
        return true;
    };
    DarwinNotifyCenter::OwnPost post;
    while (handled < kNamesPerTurn && timeLeft() && takeOwn(post)) {
        ++handled;
        arrive(post.name, post.stamp);
    }
    bool drained = false;
    char buffer[kMaximumName + 32];
    while (c.socket >= 0 && handled < kNamesPerTurn && timeLeft()) {
        ssize_t n = ::recv(c.socket, buffer, sizeof buffer - 1, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            drained = errno == EAGAIN || errno == EWOULDBLOCK;
            break;
        }
        buffer[n] = '\0';
        // "<name>", or "<name>\0<stamp in hex>".
        std::size_t nameLength = std::strlen(buffer);
        std::uint64_t stamp = 0;
        if (nameLength < static_cast<std::size_t>(n))
            stamp = std::strtoull(buffer + nameLength + 1, nullptr, 16);
        ++handled;
        arrive(std::string(buffer, nameLength), stamp);
    }
    bool ownLeft;
    {
        std::lock_guard lock(c.posting);
        ownLeft = !c.own.empty();
    }
    if (ownLeft) {
        wakeOwnLoop();
        return;
    }
    // Every datagram in hand and nothing of our own waiting: the moment to deliver what found no
    // room, or what a sender stamped but has not sent yet.
    std::uint64_t misses = c.table && !c.socketName.empty() ? c.table->misses(c.socketName) : 0;
    if (drained || misses != c.misses || c.catchUpDue) {
        c.misses = misses;
        c.catchUpDue = false;
        catchUp();
    }
}

} // namespace sv::notify::detail
