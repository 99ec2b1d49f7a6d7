// Whole-file writes that every reader sees as the old file or the new one, never a part.
#include "platform/foundation/files_detail.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::fs {
namespace {
    enum class Temporary {
        Ours,    // the file under the temporary's name, a regular file of one name: ours to fill or remove
        Moved,   // no longer under that name: the writer before us renamed it into place
        Planted, // under that name but with a second name too: a hard link someone planted to a
                 // file we must not change
        Foreign, // under that name but not a regular file
    };

    // What the temporary open as fd is now; held is what the file is.
    Temporary examine(int folder, const std::string& temporary, const FileDescriptor& fd, struct stat& held)
    {
        struct stat named;
        if (::fstat(fd.get(), &held) != 0 || ::fstatat(folder, temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0
            || held.st_dev != named.st_dev || held.st_ino != named.st_ino)
            return Temporary::Moved;
        if (!S_ISREG(held.st_mode))
            return Temporary::Foreign;
        return held.st_nlink == 1 ? Temporary::Ours : Temporary::Planted;
    }

    FileDescriptor openTemporary(int folder, const std::string& temporary, int flags)
    {
        return FileDescriptor(::openat(folder, temporary.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | flags, 0644));
    }

    // The one temporary of a target, open and locked: "<file>.tmp", shared by every writer of
    // that target and taken in turn. A writer killed half-way leaves only this file, which the
    // next writer takes over, so nothing piles up. Nothing when it cannot be had; else held is
    // what the file is as it is taken.
    FileDescriptor lockTemporary(int folder, const std::string& temporary, struct stat& held)
    {
        for (;;) {
            auto fd = openTemporary(folder, temporary, O_CREAT);
            if (!fd)
                return {};
            // Anyone who can read the temporary can lock it: a writer waits for it only so long.
            if (!detail::lockWithin(fd.get(), kTemporaryLockTimeout))
                return {};
            // While we waited, the writer before us may have renamed this very file into place:
            // only the file still under the temporary name is ours to fill.
            switch (examine(folder, temporary, fd, held)) {
            case Temporary::Ours:
                return fd;
            case Temporary::Foreign:
                return {};
            case Temporary::Planted:
                ::unlinkat(folder, temporary.c_str(), 0);
                break;
            case Temporary::Moved:
                break;
            }
        }
    }

    bool writeAtomically(int folder, const std::string& name, const void* bytes, std::size_t size, Durability durability)
    {
        std::string temporary = name + ".tmp";
        struct stat held;
        auto fd = lockTemporary(folder, temporary, held);
        if (!fd)
            return false;
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        // Only what a killed writer left is cut. Truncating a file, even an empty one, makes
        // ext4 push its blocks to the disk when it is closed: a disk write for every file.
        bool ok = held.st_size == 0 || ::ftruncate(fd.get(), 0) == 0;
        ok = ok && detail::transferAll(size, [&](std::size_t done) { return ::write(fd.get(), p + done, size - done); }) == size;
        // A mode other than the one asked for (the umask cut it, or a writer before us) is set again.
        bool asked = (held.st_mode & 07777) == 0644;
        ok = ok && (asked || ::fchmod(fd.get(), 0644) == 0)
            && (durability == Durability::Unflushed || ::fsync(fd.get()) == 0);
        // Renamed or removed while still locked, so that no writer waiting for it fills a file
        // that is already in place.
        ok = ok && ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
        if (!ok)
            ::unlinkat(folder, temporary.c_str(), 0);
        return ok;
    }
}

bool writeHostFileAtomically(const std::string& hostPath, const void* bytes, std::size_t size, Durability durability)
{
    auto slash = hostPath.rfind('/');
    if (hostPath.empty() || slash + 1 == hostPath.size())
        return false;
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    Folder parent(FileDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)));
    return parent && writeAtomically(parent.fd(), hostPath.substr(slash + 1), bytes, size, durability);
}

std::optional<std::string> hostFileUnwritable(const std::string& hostPath)
{
    auto slash = hostPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat info;
    int error = 0;
    if (hostPath.empty())
        error = ENOENT;
    else if (slash + 1 == hostPath.size() || (::stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
        error = EISDIR;
    else if (::stat(folder.c_str(), &info) != 0)
        error = errno;
    else if (!S_ISDIR(info.st_mode))
        error = ENOTDIR;
    else if (::access(folder.c_str(), W_OK | X_OK) != 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    return std::string(std::strerror(error));
}

bool writeDataAtomicallyIn(const Folder& folder, std::string_view name, const void* bytes, std::size_t size,
                           Durability durability)
{
    return folder && isPlainName(name) && writeAtomically(folder.fd(), std::string(name), bytes, size, durability);
}

bool writeDataAtomically(std::string_view devicePath, const void* bytes, std::size_t size, Durability durability)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    return parent && writeAtomically(parent->fd(), leaf, bytes, size, durability);
}

void removeLeftoverTemporary(std::string_view devicePath)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    if (!parent)
        return;
    std::string temporary = leaf + ".tmp";
    auto fd = openTemporary(parent->fd(), temporary, 0);
    // A writer at work holds its lock: only a temporary nobody holds is a leftover.
    struct stat held;
    if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && examine(parent->fd(), temporary, fd, held) == Temporary::Ours)
        ::unlinkat(parent->fd(), temporary.c_str(), 0);
}

} // namespace sv::fs
