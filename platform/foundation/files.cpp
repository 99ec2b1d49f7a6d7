#include "platform/foundation/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <unistd.h>

namespace sv::fs {
namespace {
    std::string& root()
    {
        static std::string path;
        return path;
    }

    // The root folder, opened at its first use after it is set and kept until it is set again:
    // every path beneath it is then one call from it, not two more for opening and closing the
    // root. Each use holds it, so that a root set again meanwhile is closed only after the last.
    std::atomic<std::shared_ptr<const Folder>> heldRoot;

    // The open root; null (errno set) when none is set or it cannot be opened now, in which case
    // the next use tries again.
    std::shared_ptr<const Folder> openRoot()
    {
        auto held = heldRoot.load(std::memory_order_acquire);
        if (held)
            return held;
        if (root().empty()) {
            errno = ENOENT;
            return nullptr;
        }
        int fd = ::open(root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        auto opened = std::make_shared<const Folder>(fd);
        std::shared_ptr<const Folder> expected;
        if (heldRoot.compare_exchange_strong(expected, opened, std::memory_order_acq_rel))
            return opened;
        return expected;
    }

    // The root as a folder of its own, for a caller that keeps it.
    Folder rootFolder()
    {
        auto held = openRoot();
        return Folder(held ? ::fcntl(held->fd(), F_DUPFD_CLOEXEC, 0) : -1);
    }

    // The components of a device path; nothing for a relative path or one with "." or "..",
    // which could climb out of the root.
    std::optional<std::vector<std::string>> componentsOf(std::string_view devicePath)
    {
        if (devicePath.empty() || devicePath.front() != '/')
            return std::nullopt;
        std::vector<std::string> parts;
        std::size_t at = 0;
        while (at < devicePath.size()) {
            std::size_t slash = devicePath.find('/', at);
            if (slash == std::string_view::npos)
                slash = devicePath.size();
            std::string_view part = devicePath.substr(at, slash - at);
            if (part == "." || part == "..")
                return std::nullopt;
            if (!part.empty())
                parts.emplace_back(part);
            at = slash + 1;
        }
        return parts;
    }

    std::atomic<bool> singleCallUnavailable { false };

    // Opens the folder at relative under rootFd in one call: the kernel refuses every link on
    // the way and anything that would leave the root. A descriptor, or minus the error; -ENOSYS
    // where the kernel cannot do it.
    int openBeneath(int rootFd, const char* relative, int flags, bool folder = true)
    {
#ifdef SYS_openat2
        if (singleCallUnavailable.load(std::memory_order_relaxed))
            return -ENOSYS;
        open_how how {};
        how.flags = static_cast<std::uint64_t>(flags | (folder ? O_DIRECTORY : 0) | O_NOFOLLOW | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        long fd = ::syscall(SYS_openat2, rootFd, relative, &how, sizeof how);
        if (fd >= 0)
            return static_cast<int>(fd);
        int error = errno;
        if (error == ENOSYS || error == EPERM) {
            singleCallUnavailable.store(true, std::memory_order_relaxed);
            return -ENOSYS;
        }
        return -error;
#else
        (void)rootFd, (void)relative, (void)flags, (void)folder;
        return -ENOSYS;
#endif
    }

    // parts[0..count) as one path relative to the root.
    std::string joined(const std::vector<std::string>& parts, std::size_t count)
    {
        std::string relative;
        for (std::size_t i = 0; i < count; ++i) {
            if (i)
                relative += '/';
            relative += parts[i];
        }
        return relative;
    }

    // The folder at parts[0..count) under the root in one call; nothing when the kernel cannot
    // tell or refuses, and the walk below then decides.
    std::optional<Folder> resolveBeneath(int rootFd, const std::vector<std::string>& parts, std::size_t count)
    {
        if (count == 0)
            return std::nullopt;
        int fd = openBeneath(rootFd, joined(parts, count).c_str(), O_PATH);
        if (fd < 0)
            return std::nullopt;
        return Folder(fd);
    }

    // Walks from the root to the folder holding the last component, one folder at a time and
    // never through a link, so that nothing planted inside the root can lead outside it. With
    // create, missing folders are made on the way.
    std::optional<Folder> walkToParent(std::string_view devicePath, std::string& leaf, bool create = false,
                                       mode_t permissions = 0755)
    {
        auto parts = componentsOf(devicePath);
        if (root().empty() || !parts || parts->empty())
            return std::nullopt;
        auto held = openRoot();
        if (!held)
            return std::nullopt;
        int rootAt = held->fd();
        // Most paths lead through folders that are there: one call instead of one per folder.
        if (auto direct = create ? std::nullopt : resolveBeneath(rootAt, *parts, parts->size() - 1)) {
            leaf = std::move(parts->back());
            return direct;
        }
        if (parts->size() == 1) {
            leaf = parts->back();
            return rootFolder();
        }
        Folder folder;
        for (std::size_t i = 0; i + 1 < parts->size(); ++i) {
            int at = i == 0 ? rootAt : folder.fd();
            const char* name = (*parts)[i].c_str();
            if (create && ::mkdirat(at, name, permissions) != 0 && errno != EEXIST)
                return std::nullopt;
            folder = Folder(::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!folder)
                return std::nullopt;
        }
        leaf = parts->back();
        return folder;
    }

    bool isRegular(int fd)
    {
        struct stat info;
        return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    }

    // The size of the regular file open as fd, when it is at most maximumSize; otherwise
    // nothing, and fd is closed.
    std::optional<std::size_t> regularSize(int fd, std::size_t maximumSize)
    {
        struct stat info;
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
            && static_cast<std::uint64_t>(info.st_size) <= maximumSize)
            return static_cast<std::size_t>(info.st_size);
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }

    // Reads at most size bytes of fd into into, then closes fd; how many came.
    std::size_t readAndClose(int fd, std::uint8_t* into, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::read(fd, into + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        return done;
    }

    std::optional<std::vector<std::uint8_t>> readOpen(int fd, std::size_t maximumSize)
    {
        auto size = regularSize(fd, maximumSize);
        if (!size)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(*size);
        bytes.resize(readAndClose(fd, bytes.data(), bytes.size()));
        return bytes;
    }

    // Opened without waiting for a writer (a FIFO) and without following a link; only regular
    // files are read.
    constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
}

Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
{
}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Folder::~Folder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<Folder> openFolder(std::string_view devicePath)
{
    auto parts = componentsOf(devicePath);
    if (root().empty() || !parts)
        return std::nullopt;
    Folder folder;
    if (parts->empty()) {
        folder = rootFolder();
    } else if (auto held = openRoot(); !held) {
        return std::nullopt;
    } else if (auto direct = resolveBeneath(held->fd(), *parts, parts->size())) {
        folder = std::move(*direct);
    } else {
        std::string leaf;
        auto parent = walkToParent(devicePath, leaf);
        if (parent)
            folder = Folder(::openat(parent->fd(), leaf.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!folder)
        return std::nullopt;
    return folder;
}

void setDeviceRoot(std::string hostPath)
{
    while (hostPath.size() > 1 && hostPath.back() == '/')
        hostPath.pop_back();
    root() = std::move(hostPath);
    heldRoot.store(nullptr, std::memory_order_release);
}

const std::string& deviceRoot()
{
    return root();
}

std::string resolve(std::string_view devicePath)
{
    if (root().empty() || !componentsOf(devicePath))
        return {};
    return root() + std::string(devicePath);
}

bool exists(std::string_view devicePath)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf);
    struct stat info;
    return parent && ::fstatat(parent->fd(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool createDirectory(std::string_view devicePath, mode_t permissions)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf);
    if (!parent || ::mkdirat(parent->fd(), leaf.c_str(), permissions) != 0)
        return false;
    // The umask must not narrow the permissions asked for.
    int fd = ::openat(parent->fd(), leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && ::fchmod(fd, permissions) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool createDirectories(std::string_view devicePath, mode_t permissions)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf, true, permissions);
    if (!parent || (::mkdirat(parent->fd(), leaf.c_str(), permissions) != 0 && errno != EEXIST))
        return false;
    struct stat info;
    return ::fstatat(parent->fd(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::vector<std::uint8_t>> readHostFile(const std::string& hostPath, std::size_t maximumSize)
{
    return readOpen(::open(hostPath.c_str(), kReadFlags), maximumSize);
}

namespace {
    // Locks fd exclusively, waiting at most timeoutSeconds: a holder that is stopped or stuck
    // must not stop us. false (errno set) when the lock was not had.
    bool lockWithin(int fd, double timeoutSeconds)
    {
        using Clock = std::chrono::steady_clock;
        auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
        Clock::duration pause = std::chrono::microseconds(200);
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (errno != EWOULDBLOCK && errno != EINTR)
                return false;
            auto now = Clock::now();
            if (now >= deadline) {
                errno = EWOULDBLOCK;
                return false;
            }
            std::this_thread::sleep_for(std::min(pause, deadline - now));
            pause = std::min<Clock::duration>(pause * 2, std::chrono::milliseconds(2));
        }
    }

    // The one temporary of a target, open and locked: "<file>.tmp", shared by every writer of
    // that target and taken in turn. A writer killed half-way leaves only this file, which the
    // next writer takes over, so nothing piles up. -1 when it cannot be had; else held is what
    // the file is as it is taken.
    int lockTemporary(int folder, const std::string& temporary, struct stat& held)
    {
        for (;;) {
            int fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd < 0)
                return -1;
            // Anyone who can read the temporary can lock it: a writer waits for it only so long.
            int locked = lockWithin(fd, kTemporaryLockTimeout) ? 0 : -1;
            // While we waited, the writer before us may have renamed this very file into place:
            // only the file still under the temporary name is ours to fill. A second name for
            // it is a hard link someone planted to a file we must not change.
            struct stat named;
            bool ours = locked == 0 && ::fstat(fd, &held) == 0
                && ::fstatat(folder, temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
                && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
            if (ours && S_ISREG(held.st_mode) && held.st_nlink == 1)
                return fd;
            ::close(fd);
            if (locked != 0 || (ours && !S_ISREG(held.st_mode)))
                return -1;
            if (ours)
                ::unlinkat(folder, temporary.c_str(), 0);
        }
    }

    bool writeAtomically(int folder, const std::string& name, const void* bytes, std::size_t size, Durability durability)
    {
        std::string temporary = name + ".tmp";
        struct stat held;
        int fd = lockTemporary(folder, temporary, held);
        if (fd < 0)
            return false;
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        std::size_t done = 0;
        // Only what a killed writer left is cut. Truncating a file, even an empty one, makes
        // ext4 push its blocks to the disk when it is closed: a disk write for every file.
        bool ok = held.st_size == 0 || ::ftruncate(fd, 0) == 0;
        while (ok && done < size) {
            ssize_t n = ::write(fd, p + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                done += static_cast<std::size_t>(n);
        }
        // A mode other than the one asked for (the umask cut it, or a writer before us) is set again.
        bool asked = (held.st_mode & 07777) == 0644;
        ok = ok && (asked || ::fchmod(fd, 0644) == 0) && (durability == Durability::Unflushed || ::fsync(fd) == 0);
        // Renamed or removed while still locked, so that no writer waiting for it fills a file
        // that is already in place.
        ok = ok && ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
        if (!ok)
            ::unlinkat(folder, temporary.c_str(), 0);
        ::close(fd);
        return ok;
    }
}

bool writeHostFileAtomically(const std::string& hostPath, const void* bytes, std::size_t size, Durability durability)
{
    auto slash = hostPath.rfind('/');
    if (hostPath.empty() || slash + 1 == hostPath.size())
        return false;
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    Folder parent(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return parent && writeAtomically(parent.fd(), hostPath.substr(slash + 1), bytes, size, durability);
}

namespace {
    // A file to read at a device path, opened without following any link: in one call where the
    // kernel can, else folder by folder. The kernel refuses just what the walk refuses, so only
    // a kernel that cannot sends the open to the walk. -1 when it cannot be opened.
    int openForReading(std::string_view devicePath)
    {
        auto parts = componentsOf(devicePath);
        if (root().empty() || !parts || parts->empty())
            return -1;
        if (auto held = openRoot()) {
            int fd = openBeneath(held->fd(), joined(*parts, parts->size()).c_str(), kReadFlags, false);
            if (fd != -ENOSYS)
                return fd < 0 ? -1 : fd;
        }
        std::string leaf;
        auto parent = walkToParent(devicePath, leaf);
        return parent ? ::openat(parent->fd(), leaf.c_str(), kReadFlags | O_NOFOLLOW) : -1;
    }
}

std::optional<std::vector<std::uint8_t>> readData(std::string_view devicePath, std::size_t maximumSize)
{
    int fd = openForReading(devicePath);
    if (fd < 0)
        return std::nullopt;
    return readOpen(fd, maximumSize);
}

Comparison readDataAgain(std::string_view devicePath, const std::vector<std::uint8_t>& known,
                         std::vector<std::uint8_t>& changed, std::size_t maximumSize)
{
    changed.clear();
    int fd = openForReading(devicePath);
    auto size = regularSize(fd, maximumSize);
    if (!size)
        return Comparison::Unreadable;
    // Read into room this thread keeps from one read to the next: a file that did not change
    // costs one read and one compare, and no room is made for it.
    thread_local std::vector<std::uint8_t> room;
    if (room.size() < *size)
        room.resize(*size);
    std::size_t done = readAndClose(fd, room.data(), *size);
    Comparison comparison = Comparison::Same;
    if (done != known.size() || (done != 0 && std::memcmp(room.data(), known.data(), done) != 0)) {
        changed.assign(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(done));
        comparison = Comparison::Changed;
    }
    // Room for a file far larger than a settings file is not kept for the next read.
    if (room.size() > (std::size_t(1) << 20))
        std::vector<std::uint8_t>().swap(room);
    return comparison;
}

void removeLeftoverTemporary(std::string_view devicePath)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf);
    if (!parent)
        return;
    std::string temporary = leaf + ".tmp";
    int fd = ::openat(parent->fd(), temporary.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return;
    // A writer at work holds its lock: only a temporary nobody holds is a leftover.
    struct stat held, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0
        && ::fstatat(parent->fd(), temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino && S_ISREG(held.st_mode) && held.st_nlink == 1)
        ::unlinkat(parent->fd(), temporary.c_str(), 0);
    ::close(fd);
}

namespace {
    // A name that stays inside the folder it is taken in.
    bool isPlainName(std::string_view name)
    {
        return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
            && name.find('\0') == std::string_view::npos;
    }
}

bool existsIn(const Folder& folder, std::string_view name)
{
    struct stat info;
    return folder && isPlainName(name) && ::fstatat(folder.fd(), std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool writeDataAtomicallyIn(const Folder& folder, std::string_view name, const void* bytes, std::size_t size,
                           Durability durability)
{
    return folder && isPlainName(name) && writeAtomically(folder.fd(), std::string(name), bytes, size, durability);
}

bool writeDataAtomically(std::string_view devicePath, const void* bytes, std::size_t size, Durability durability)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf);
    return parent && writeAtomically(parent->fd(), leaf, bytes, size, durability);
}

FileLock::~FileLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
{
}

std::optional<FileLock> FileLock::acquire(std::string_view devicePath, double timeoutSeconds)
{
    std::string leaf;
    auto parent = walkToParent(devicePath, leaf);
    if (!parent)
        return std::nullopt;
    FileLock lock;
    lock.fd_ = ::openat(parent->fd(), (leaf + ".lock").c_str(),
                        O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
    if (lock.fd_ < 0 || !isRegular(lock.fd_) || !lockWithin(lock.fd_, timeoutSeconds))
        return std::nullopt;
    return lock;
}

int openFolderBeneathRoot(std::string_view devicePath, int flags)
{
    auto parts = componentsOf(devicePath);
    if (root().empty() || !parts || parts->empty())
        return -EINVAL;
    auto held = openRoot();
    if (!held)
        return -errno;
    std::string relative(devicePath.substr(devicePath.find_first_not_of('/')));
    return openBeneath(held->fd(), relative.c_str(), flags);
}

void resolveOneFolderAtATimeForTesting(bool enabled)
{
    singleCallUnavailable.store(enabled);
}

std::string homeDirectory()
{
    return "/var/mobile";
}

} // namespace sv::fs
