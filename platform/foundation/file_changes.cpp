// Changes to one file beneath the device root short of a whole-file write: what is there,
// appending to a file known, renaming and removing.
#include "platform/foundation/files_detail.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::fs {
namespace {
    FileInfo infoOf(const struct stat& info)
    {
        FileInfo file;
        using Kind = FileInfo::Kind;
        file.kind = S_ISREG(info.st_mode) ? Kind::Regular
            : S_ISDIR(info.st_mode)       ? Kind::Folder
            : S_ISLNK(info.st_mode)       ? Kind::Link
            : S_ISFIFO(info.st_mode)      ? Kind::Fifo
                                          : Kind::Other;
        file.size = static_cast<std::uint64_t>(info.st_size);
        file.links = static_cast<std::uint64_t>(info.st_nlink);
        file.device = info.st_dev;
        file.inode = info.st_ino;
        return file;
    }

    // Empties the folder leaf of parent and removes it, following no link; depth bounds the
    // nesting a planted tree can make us walk.
    bool removeTreeAt(int parent, const char* leaf, int depth)
    {
        if (::unlinkat(parent, leaf, 0) == 0 || errno == ENOENT)
            return true;
        if ((errno != EISDIR && errno != EPERM) || depth == 0)
            return false;
        FileDescriptor folder(::openat(parent, leaf, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder)
            return errno == ENOENT;
        std::vector<std::string> names;
        {
            int copy = ::dup(folder.get());
            DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
            if (!listing) {
                if (copy >= 0)
                    ::close(copy);
                return false;
            }
            while (const dirent* entry = ::readdir(listing))
                if (isPlainName(entry->d_name))
                    names.emplace_back(entry->d_name);
            ::closedir(listing);
        }
        bool emptied = true;
        for (const std::string& name : names)
            emptied = removeTreeAt(folder.get(), name.c_str(), depth - 1) && emptied;
        return emptied && (::unlinkat(parent, leaf, AT_REMOVEDIR) == 0 || errno == ENOENT);
    }
}

FileInfo fileInfo(std::string_view devicePath)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    struct stat info;
    if (!parent || ::fstatat(parent->fd(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return infoOf(info);
}

AppendResult appendData(std::string_view devicePath, const void* bytes, std::size_t size, const FileInfo& known)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    if (!parent)
        return AppendResult::Changed;
    // Without O_NONBLOCK a FIFO would hold us until someone reads it.
    FileDescriptor fd(::openat(parent->fd(), leaf.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return errno == EACCES || errno == EROFS || errno == ENOSPC ? AppendResult::Failed : AppendResult::Changed;
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return AppendResult::Failed;
    FileInfo now = infoOf(info);
    if (now.kind != FileInfo::Kind::Regular || now.links != 1 || !now.sameFile(known) || now.size != known.size)
        return AppendResult::Changed;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    if (detail::transferAll(size, [&](std::size_t done) { return ::write(fd.get(), p + done, size - done); }) < size)
        return AppendResult::Failed;
    return AppendResult::Written;
}

bool renameFile(std::string_view from, std::string_view to)
{
    std::string fromLeaf, toLeaf;
    auto fromParent = detail::walkToParent(from, fromLeaf);
    auto toParent = detail::walkToParent(to, toLeaf);
    return fromParent && toParent && ::renameat(fromParent->fd(), fromLeaf.c_str(), toParent->fd(), toLeaf.c_str()) == 0;
}

namespace {

    // Removes the leaf of a device path with `remove` (given its parent folder and name); a path
    // whose folders are missing is already gone.
    template<typename Remove>
    bool removeLeaf(std::string_view devicePath, Remove remove)
    {
        std::string leaf;
        auto parent = detail::walkToParent(devicePath, leaf);
        if (!parent) {
            int error = errno;
            return detail::rootSet() && error == ENOENT;
        }
        return remove(parent->fd(), leaf.c_str());
    }

} // namespace

bool removeFile(std::string_view devicePath)
{
    return removeLeaf(devicePath, [](int parent, const char* leaf) {
        return ::unlinkat(parent, leaf, 0) == 0 || errno == ENOENT;
    });
}

bool removeTree(std::string_view devicePath)
{
    return removeLeaf(devicePath, [](int parent, const char* leaf) { return removeTreeAt(parent, leaf, 32); });
}

} // namespace sv::fs
