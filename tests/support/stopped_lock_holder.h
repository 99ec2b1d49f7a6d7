#pragma once
// A process that takes the settings file's lock, or any file's, and is then stopped, as a
// debugger or the system would stop it; killed when released or destroyed.

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::test {

// A process that holds the lock and is then stopped, as a debugger or the system would stop it.
class StoppedLockHolder {
public:
    // The settings file's lock, as its writers take it.
    StoppedLockHolder()
        : StoppedLockHolder([] {
            // Held until the process is killed.
            auto* held = new std::optional<sv::fs::FileLock>(sv::fs::FileLock::acquire(slv::settingsPath(), 5));
            return held->has_value();
        })
    {
    }

    // The lock of the file at a host path, opened for reading only: what any process that can
    // read a file can take.
    explicit StoppedLockHolder(const std::string& hostPath)
        : StoppedLockHolder([&] {
            int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        })
    {
    }

    // Whatever lock takes, in the process that is then stopped; lock answers whether it was had.
    explicit StoppedLockHolder(const std::function<bool()>& lock)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            char byte = lock() ? 1 : 0;
            (void)!::write(ready[1], &byte, 1);
            ::raise(SIGSTOP);
            ::_exit(0);
        }
        char byte = 0;
        (void)!::read(ready[0], &byte, 1);
        locked_ = byte == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~StoppedLockHolder() { release(); }
    bool locked() const { return locked_; }
    void release()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

} // namespace sv::test
