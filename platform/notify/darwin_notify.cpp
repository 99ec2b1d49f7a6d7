#include "platform/notify/darwin_notify.h"

#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/notify_folder.h"
#include "platform/notify/stamp_table.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using sv::notify::NotifyFolder;
using sv::notify::StampTable;

struct DarwinNotifyCenter {
    struct Registration {
        std::string name;
        CFNotificationCallback callback;
        const void* observer;
        const void* object;
    };
    // Per observed name: the newest stamp delivered, and the newest a catch-up covered (its
    // datagrams still on their way are not delivered again).
    struct Progress {
        std::uint64_t seen = 0;
        std::uint64_t covered = 0;
    };
    struct OwnPost {
        std::string name;
        std::uint64_t stamp;
    };

    std::vector<Registration> registrations;
    std::map<std::string, Progress> progress;
    sv::notify::Tap tap = nullptr;
    void* tapContext = nullptr;
    sv::notify::Reporter reporter = nullptr;

    bool wanted = false;   // this process means to listen
    bool reported = false; // and has said why it cannot
    std::optional<NotifyFolder> folder;
    std::unique_ptr<StampTable> table;
    int socket = -1;
    ino_t socketInode = 0;
    std::string socketName;
    std::uint64_t misses = 0;

    // One run-loop source for everything that can wake this process: its socket, its own posts
    // and changes to the folder. One source, so that one turn of the loop is one bounded turn.
    int poller = -1;
    int wake = -1;
    int watch = -1;
    int watched = -1;
    sv::RunLoop::SourceId source = 0;

    std::deque<OwnPost> own;
    bool ownOverflowed = false;

    // What a process that does not listen there keeps for posting into a folder.
    std::pair<dev_t, ino_t> postFolder {};
    std::unique_ptr<StampTable> postTable;
    // Sockets of that folder found full at the last post: their miss is counted before sending.
    std::pair<dev_t, ino_t> fullFolder {};
    std::set<std::string, std::less<>> fullSockets;
};

namespace {

DarwinNotifyCenter& center()
{
    static DarwinNotifyCenter instance;
    return instance;
}

constexpr std::size_t kMaximumName = 1024;
// The work of one turn of the run loop: a burst of posts must leave the loop's other sources and
// its timers their turn, however long each callback takes. What is not read yet waits, in order.
constexpr int kNamesPerTurn = 16;
constexpr auto kTimePerTurn = std::chrono::milliseconds(50);
// Own posts waiting for the loop; past this, the catch-up delivers each name once.
constexpr std::size_t kOwnLimit = 4096;

void deliver(const std::string& name)
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
void arrive(const std::string& name, std::uint64_t stamp)
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
void catchUp()
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

void report(const std::string& problem)
{
    DarwinNotifyCenter& c = center();
    if (!c.reported && c.reporter)
        c.reporter(("cannot listen for notifications: " + problem).c_str());
    c.reported = true;
}

bool ownSocketInPlace()
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

void closeSocket()
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

void removeSocketAtExit()
{
    closeSocket();
}

void turn();

bool makeSources()
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

// Binds this process's socket in the folder as it is now; says why not, once, when it cannot.
bool listen()
{
    DarwinNotifyCenter& c = center();
    closeSocket();
    makeSources();
    std::string problem;
    auto folder = NotifyFolder::open(true, &problem);
    if (!folder) {
        report(problem);
        return false;
    }
    bool sameFolder = c.folder && c.folder->sameAs(*folder);
    c.folder = std::move(folder);
    if (!sameFolder || !c.table) {
        c.table = StampTable::open(*c.folder);
        rebase();
    }
    c.socketName = std::to_string(::getpid()) + ".sock";
    sockaddr_un address;
    socklen_t length = 0;
    if (!makeSources() || !c.folder->address(c.socketName, address, length)) {
        report(std::string(sv::notify::kFolder) + ": the folder cannot be addressed");
        return false;
    }
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::unlinkat(c.folder->fd(), c.socketName.c_str(), 0); // left by a process gone with our number
    struct stat info;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::fstatat(c.folder->fd(), c.socketName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
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
    // What was posted while this process could not hear it.
    catchUp();
    return true;
}

// Something left the folder: if it was this process's socket, or the folder itself, listen anew.
void checkFolder()
{
    DarwinNotifyCenter& c = center();
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (c.watch >= 0 && ::read(c.watch, events, sizeof events) > 0)
        changed = true;
    if (changed && c.wanted && !ownSocketInPlace())
        listen();
}

void wakeOwnLoop()
{
    std::uint64_t one = 1;
    if (center().wake >= 0)
        (void)!::write(center().wake, &one, sizeof one);
}

void turn()
{
    DarwinNotifyCenter& c = center();
    checkFolder();
    std::uint64_t count;
    (void)!::read(c.wake, &count, sizeof count);

    auto until = std::chrono::steady_clock::now() + kTimePerTurn;
    auto timeLeft = [&until] { return std::chrono::steady_clock::now() < until; };
    int handled = 0;
    while (!c.own.empty() && handled < kNamesPerTurn && timeLeft()) {
        auto post = std::move(c.own.front());
        c.own.pop_front();
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
    if (!c.own.empty()) {
        wakeOwnLoop();
        return;
    }
    // Every datagram in hand and nothing of our own waiting: the moment to deliver what found no
    // room, or what a sender stamped but has not sent yet.
    std::uint64_t misses = c.table && !c.socketName.empty() ? c.table->misses(c.socketName) : 0;
    if (drained || misses != c.misses || c.ownOverflowed) {
        c.misses = misses;
        c.ownOverflowed = false;
        catchUp();
    }
}

StampTable* tableFor(const NotifyFolder& folder)
{
    DarwinNotifyCenter& c = center();
    if (c.socket >= 0 && c.folder && c.folder->sameAs(folder))
        return c.table.get();
    if (!c.postTable || c.postFolder != folder.identity()) {
        c.postTable = StampTable::open(folder);
        c.postFolder = folder.identity();
    }
    return c.postTable.get();
}

// Sends without waiting. A socket with no room gets its miss counted, then one more try: either
// that datagram gets in, or the socket still holds unread ones and its process, reading them,
// will find the miss. One found full before has its miss counted first and is tried once.
void sendTo(int fd, const NotifyFolder& folder, const char* entry, const std::string& payload, StampTable* table)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!folder.address(entry, address, length))
        return;
    auto send = [&] {
        ssize_t sent;
        do
            sent = ::sendto(fd, payload.data(), payload.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                            reinterpret_cast<sockaddr*>(&address), length);
        while (sent < 0 && errno == EINTR);
        return sent >= 0 ? 0 : errno;
    };
    auto noRoom = [](int error) { return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS; };
    auto& full = center().fullSockets;
    auto known = full.find(std::string_view(entry));
    if (known != full.end() && table)
        table->countMiss(entry);
    int error = send();
    if (known == full.end() && noRoom(error) && table) {
        table->countMiss(entry);
        error = send();
    }
    if (noRoom(error)) {
        if (known == full.end())
            full.emplace(entry);
    } else if (known != full.end()) {
        full.erase(known);
    }
    if (error == ECONNREFUSED)
        ::unlinkat(folder.fd(), entry, 0); // its process is gone
}

} // namespace

namespace sv::notify {

bool startListening()
{
    DarwinNotifyCenter& c = center();
    c.wanted = true;
    if (c.socket >= 0)
        return true;
    return listen();
}

void setTap(Tap tap, void* context)
{
    center().tap = tap;
    center().tapContext = context;
}

void setReporter(Reporter reporter)
{
    center().reporter = reporter;
}

void rebindForTesting()
{
    DarwinNotifyCenter& c = center();
    dropSources();
    c.folder.reset();
    c.table.reset();
    c.postTable.reset();
    c.own.clear();
    c.ownOverflowed = false;
    c.wanted = false;
    c.reported = false;
    rebase();
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
    if (!target->progress.contains(name)) {
        std::uint64_t latest = target->table ? target->table->latest(name) : 0;
        target->progress[name] = { latest, latest };
    }
}

std::uint32_t notify_post(const char* name)
{
    if (!name || std::strlen(name) > kMaximumName)
        return 1;
    DarwinNotifyCenter& c = center();
    // An observer that lost its socket, or never got one, tries again.
    if (c.wanted && c.socket < 0)
        listen();
    bool missing = false;
    auto folder = NotifyFolder::open(false, nullptr, &missing);
    StampTable* table = folder ? tableFor(*folder) : nullptr;
    std::uint64_t stamp = table ? table->stampPost(name) : 0;
    // Its own posts reach a process through its loop, even where the folder fails it.
    bool toSelf = c.poller >= 0 && (!folder || !c.folder || c.folder->sameAs(*folder));
    if (toSelf) {
        if (c.own.size() < kOwnLimit)
            c.own.push_back({ name, stamp });
        else
            c.ownOverflowed = true;
        wakeOwnLoop();
    }
    if (!folder)
        return missing ? 0 : 1; // no folder: nobody else observes anything
    std::string payload = name;
    if (stamp != 0) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%" PRIx64, stamp);
        payload.push_back('\0');
        payload += digits;
    }

    if (c.fullFolder != folder->identity()) {
        c.fullSockets.clear();
        c.fullFolder = folder->identity();
    }
    int listing = ::openat(folder->fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    int fd = dir ? ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0) {
        if (dir)
            ::closedir(dir);
        else if (listing >= 0)
            ::close(listing);
        return 1;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string_view file = entry->d_name;
        if (!file.ends_with(".sock") || (toSelf && c.socket >= 0 && file == c.socketName))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info;
            if (::fstatat(folder->fd(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISLNK(info.st_mode) ? DT_LNK : DT_SOCK;
        }
        // A link would carry the send, or the sweep, somewhere else.
        if (type != DT_LNK)
            sendTo(fd, *folder, entry->d_name, payload, table);
    }
    ::closedir(dir);
    ::close(fd);
    return 0;
}
