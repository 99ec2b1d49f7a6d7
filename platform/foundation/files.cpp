#include "platform/foundation/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::fs {
namespace {
    std::string& root()
    {
        static std::string path;
        return path;
    }
}

void setDeviceRoot(std::string hostPath)
{
    while (hostPath.size() > 1 && hostPath.back() == '/')
        hostPath.pop_back();
    root() = std::move(hostPath);
}

const std::string& deviceRoot()
{
    return root();
}

std::string resolve(std::string_view devicePath)
{
    if (root().empty() || devicePath.empty() || devicePath.front() != '/')
        return {};
    return root() + std::string(devicePath);
}

bool exists(std::string_view devicePath)
{
    std::string path = resolve(devicePath);
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool createDirectory(std::string_view devicePath, mode_t permissions)
{
    std::string path = resolve(devicePath);
    if (path.empty() || ::mkdir(path.c_str(), permissions) != 0)
        return false;
    // The umask must not narrow the permissions asked for.
    return ::chmod(path.c_str(), permissions) == 0;
}

bool createDirectories(std::string_view devicePath, mode_t permissions)
{
    std::string path = resolve(devicePath);
    if (path.empty())
        return false;
    for (std::size_t slash = root().size() + 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), permissions) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::vector<std::uint8_t>> readHostFile(const std::string& hostPath, std::size_t maximumSize)
{
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || static_cast<std::uint64_t>(info.st_size) > maximumSize) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

namespace {
    // The one temporary of a target, open and locked: "<file>.tmp", shared by every writer of
    // that target and taken in turn. A writer killed half-way leaves only this file, which the
    // next writer takes over, so nothing piles up. -1 when it cannot be had.
    int lockTemporary(const std::string& temporary)
    {
        for (;;) {
            int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd < 0)
                return -1;
            int locked;
            while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) { }
            // While we waited, the writer before us may have renamed this very file into place:
            // only the file still under the temporary name is ours to fill.
            struct stat held, named;
            if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(temporary.c_str(), &named) == 0
                && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
                return fd;
            ::close(fd);
            if (locked != 0)
                return -1;
        }
    }
}

bool writeHostFileAtomically(const std::string& hostPath, const void* bytes, std::size_t size)
{
    if (hostPath.empty())
        return false;
    std::string temporary = hostPath + ".tmp";
    int fd = lockTemporary(temporary);
    if (fd < 0)
        return false;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::size_t done = 0;
    bool ok = ::ftruncate(fd, 0) == 0;
    while (ok && done < size) {
        ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    // Renamed or removed while still locked, so that no writer waiting for it fills a file that
    // is already in place.
    ok = ok && ::rename(temporary.c_str(), hostPath.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    ::close(fd);
    return ok;
}

std::optional<std::vector<std::uint8_t>> readData(std::string_view devicePath, std::size_t maximumSize)
{
    std::string path = resolve(devicePath);
    if (path.empty())
        return std::nullopt;
    return readHostFile(path, maximumSize);
}

bool writeDataAtomically(std::string_view devicePath, const void* bytes, std::size_t size)
{
    return writeHostFileAtomically(resolve(devicePath), bytes, size);
}

std::string homeDirectory()
{
    return "/var/mobile";
}

} // namespace sv::fs
