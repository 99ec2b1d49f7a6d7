// Advisory locks between the processes that write one file.
#include "platform/foundation/files_detail.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>

namespace sv::fs {

bool detail::lockWithin(int fd, double timeoutSeconds)
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

FileLock::~FileLock() = default;

FileLock::FileLock(FileLock&& other) noexcept = default;

std::optional<FileLock> FileLock::acquire(std::string_view devicePath, double timeoutSeconds)
{
    std::string leaf;
    auto parent = detail::walkToParent(devicePath, leaf);
    if (!parent)
        return std::nullopt;
    FileLock lock;
    lock.fd_ = FileDescriptor(::openat(parent->fd(), (leaf + ".lock").c_str(),
                                       O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
    if (!lock.fd_ || !detail::isRegular(lock.fd_.get()) || !detail::lockWithin(lock.fd_.get(), timeoutSeconds))
        return std::nullopt;
    return lock;
}

} // namespace sv::fs
