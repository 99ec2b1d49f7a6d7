#include "platform/notify/darwin_notify.h"

#include "platform/foundation/files.h"
#include "platform/notify/darwin_notify_center.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sv::notify::detail;
using sv::notify::NotifyFolder;
using sv::notify::StampTable;

namespace {

StampTable* tableFor(const NotifyFolder& folder)
{
    DarwinNotifyCenter& c = center();
    if (c.socket >= 0 && c.folder && c.folder->sameAs(folder))
        return c.table.get();
    if (!c.postTable || c.postFolder != folder.identity() || !c.postTable->inPlace(folder)) {
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
    {
        std::lock_guard lock(c.posting);
        c.own.clear();
    }
    c.catchUpDue = false;
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
    std::lock_guard lock(c.posting);
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
            c.catchUpDue = true;
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
