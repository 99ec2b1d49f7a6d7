// The device root and the walk beneath it: every device path reaches the host's files here.
#include "platform/foundation/files_detail.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

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

    // The root as a folder of its own, for a caller that keeps it.
    Folder rootFolder()
    {
        auto held = detail::openRoot();
        return Folder(FileDescriptor(held ? ::fcntl(held->fd(), F_DUPFD_CLOEXEC, 0) : -1));
    }

    std::atomic<bool> singleCallUnavailable { false };

    // The folder at parts[0..count) under the root in one call; nothing when the kernel cannot
    // tell or refuses, and the walk then decides.
    std::optional<Folder> resolveBeneath(int rootFd, const std::vector<std::string>& parts, std::size_t count)
    {
        if (count == 0)
            return std::nullopt;
        int error = 0;
        auto fd = detail::openBeneath(rootFd, detail::joined(parts, count).c_str(), O_PATH, true, error);
        if (!fd)
            return std::nullopt;
        return Folder(std::move(fd));
    }

    FileDescriptor openFolderAt(int at, const char* name)
    {
        return FileDescriptor(::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
}

namespace detail {
    std::shared_ptr<const Folder> openRoot()
    {
        auto held = heldRoot.load(std::memory_order_acquire);
        if (held)
            return held;
        if (root().empty()) {
            errno = ENOENT;
            return nullptr;
        }
        FileDescriptor fd(::open(root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd)
            return nullptr;
        auto opened = std::make_shared<const Folder>(std::move(fd));
        std::shared_ptr<const Folder> expected;
        if (heldRoot.compare_exchange_strong(expected, opened, std::memory_order_acq_rel))
            return opened;
        return expected;
    }

    bool rootSet()
    {
        return !root().empty();
    }

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

    FileDescriptor openBeneath(int rootFd, const char* relative, int flags, bool folder, int& error)
    {
#ifdef SYS_openat2
        if (singleCallUnavailable.load(std::memory_order_relaxed)) {
            error = ENOSYS;
            return {};
        }
        open_how how {};
        how.flags = static_cast<std::uint64_t>(flags | (folder ? O_DIRECTORY : 0) | O_NOFOLLOW | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        long fd = ::syscall(SYS_openat2, rootFd, relative, &how, sizeof how);
        if (fd >= 0)
            return FileDescriptor(static_cast<int>(fd));
        error = errno;
        if (error == ENOSYS || error == EPERM) {
            singleCallUnavailable.store(true, std::memory_order_relaxed);
            error = ENOSYS;
        }
        return {};
#else
        (void)rootFd, (void)relative, (void)flags, (void)folder;
        error = ENOSYS;
        return {};
#endif
    }

    std::optional<Folder> walkToParent(std::string_view devicePath, std::string& leaf, bool create, mode_t permissions)
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
            folder = Folder(openFolderAt(at, name));
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
}

bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

std::optional<Folder> openFolder(std::string_view devicePath)
{
    auto parts = detail::componentsOf(devicePath);
    if (root().empty() || !parts)
        return std::nullopt;
    Folder folder;
    if (parts->empty()) {
        folder = rootFolder();
    } else if (auto held = detail::openRoot(); !held) {
        return std::nullopt;
    } else if (auto direct = resolveBeneath(held->fd(), *parts, parts->size())) {
        folder = std::move(*direct);
    } else {
        std::string leaf;
        auto parent = detail::walkToParent(devicePath, leaf);
        if (parent)
            folder = Folder(openFolderAt(parent->fd(), leaf.c_str()));
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
    if (root().empty() || !detail::componentsOf(devicePath))
        return {};
    return root() + std::string(devicePath);
}

bool exists(std::string_view devicePath)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    struct stat info;
    return parent && ::fstatat(parent->fd(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool existsIn(const Folder& folder, std::string_view name)
{
    struct stat info;
    return folder && isPlainName(name) && ::fstatat(folder.fd(), std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool createDirectory(std::string_view devicePath, mode_t permissions)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    if (!parent || ::mkdirat(parent->fd(), leaf.c_str(), permissions) != 0)
        return false;
    // The umask must not narrow the permissions asked for.
    FileDescriptor fd(::openat(parent->fd(), leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return fd && ::fchmod(fd.get(), permissions) == 0;
}

bool createDirectories(std::string_view devicePath, mode_t permissions)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf, true, permissions);
    if (!parent || (::mkdirat(parent->fd(), leaf.c_str(), permissions) != 0 && errno != EEXIST))
        return false;
    struct stat info;
    return ::fstatat(parent->fd(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

FileDescriptor openFolderBeneathRoot(std::string_view devicePath, int flags, int& error)
{
    auto parts = detail::componentsOf(devicePath);
    if (root().empty() || !parts || parts->empty()) {
        error = EINVAL;
        return {};
    }
    auto held = detail::openRoot();
    if (!held) {
        error = errno;
        return {};
    }
    std::string relative(devicePath.substr(devicePath.find_first_not_of('/')));
    return detail::openBeneath(held->fd(), relative.c_str(), flags, true, error);
}

void resolveOneFolderAtATimeForTesting(bool enabled)
{
    singleCallUnavailable.store(enabled);
}

std::chrono::system_clock::time_point fileTimeNow()
{
    return std::chrono::system_clock::now();
}

std::string homeDirectory()
{
    return "/var/mobile";
}

} // namespace sv::fs
