#include "platform/notify/notify_folder.h"

#include "platform/foundation/files.h"
#include "platform/notify/darwin_notify.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sv::notify {
namespace {
    bool procAvailable()
    {
        static const bool available = ::access("/proc/self/fd", X_OK) == 0;
        return available;
    }

    std::string describe(int error)
    {
        if (error == ELOOP)
            return "a symbolic link is in the way";
        if (error == ENOTDIR)
            return "something that is not a folder is in the way";
        return std::strerror(error);
    }
}

std::optional<NotifyFolder> NotifyFolder::open(bool create, std::string* problem, bool* missing)
{
    auto fail = [&](int error) -> std::optional<NotifyFolder> {
        if (problem)
            *problem = std::string(kFolder) + ": " + describe(error);
        if (missing)
            *missing = error == ENOENT;
        return std::nullopt;
    };
    const std::string& root = fs::deviceRoot();
    if (root.empty())
        return fail(ENOENT);
    auto opened = [&](fs::FileDescriptor fd) -> std::optional<NotifyFolder> {
        struct stat info;
        if (::fstat(fd.get(), &info) != 0)
            return fail(errno);
        return NotifyFolder(fd.release(), root + kFolder, info.st_dev, info.st_ino);
    };
    // Where the folder is there, or plainly missing, the kernel finds out in one call.
    int directError = 0;
    if (auto direct = fs::openFolderBeneathRoot(kFolder, O_RDONLY, directError))
        return opened(std::move(direct));
    if (directError == ENOENT && !create)
        return fail(ENOENT);
    // The root itself is the host's to choose; below it nothing is followed.
    fs::FileDescriptor fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return fail(errno);
    std::string_view rest = std::string_view(kFolder).substr(1);
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string part(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        fs::FileDescriptor next(::openat(fd.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next && errno == ENOENT && create) {
            if (::mkdirat(fd.get(), part.c_str(), 0755) != 0 && errno != EEXIST)
                return fail(errno);
            next.reset(::openat(fd.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        int error = errno;
        struct stat info;
        if (!next && ::fstatat(fd.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
            error = ELOOP;
        if (!next)
            return fail(error);
        fd = std::move(next);
    }
    return opened(std::move(fd));
}

NotifyFolder::NotifyFolder(NotifyFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), device_(other.device_), inode_(other.inode_)
{
}

NotifyFolder& NotifyFolder::operator=(NotifyFolder&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

NotifyFolder::~NotifyFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string NotifyFolder::viaDescriptor() const
{
    // Without /proc the folder can only be named by its path.
    if (!procAvailable())
        return path_;
    return "/proc/self/fd/" + std::to_string(fd_);
}

bool NotifyFolder::address(std::string_view name, sockaddr_un& address, socklen_t& length) const
{
    // The path was walked without links just now; the descriptor takes longer to resolve.
    std::string path = path_ + "/" + std::string(name);
    if (path.size() >= sizeof address.sun_path)
        path = viaDescriptor() + "/" + std::string(name);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

} // namespace sv::notify
