#pragma once
// A folder whose entries cannot be removed while it lives, whoever the tests run as: read-only for
// a user, immutable for root; unavailable (ok() false) where the file system allows neither.

#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sv::test {

class Undeletable {
public:
    explicit Undeletable(std::string folder) : folder_(std::move(folder))
    {
        if (::geteuid() != 0) {
            ok_ = ::chmod(folder_.c_str(), 0555) == 0;
            return;
        }
        int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        ok_ = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
            && (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0)
            ::close(fd);
    }
    ~Undeletable() { release(); }
    bool ok() const { return ok_; }
    void release()
    {
        if (!std::exchange(ok_, false))
            return;
        if (::geteuid() != 0) {
            ::chmod(folder_.c_str(), 0755);
            return;
        }
        int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::string folder_;
    bool ok_ = false;
};

} // namespace sv::test
