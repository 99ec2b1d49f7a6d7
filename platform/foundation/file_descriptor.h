#pragma once
// An open file descriptor that closes itself: whoever holds one owns it, so that no function
// closes a descriptor on one path and leaves it to its caller on another.

#include <utility>

namespace sv::fs {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes over fd; a negative fd is none.
    explicit FileDescriptor(int fd) noexcept : fd_(fd < 0 ? -1 : fd) { }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) { }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes what is held and takes over fd.
    void reset(int fd = -1) noexcept;
    // Hands the descriptor over to a caller that closes it itself.
    int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

} // namespace sv::fs
