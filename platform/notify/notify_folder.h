#pragma once
// The device's notification folder, held open. It is reached from the device root one folder at
// a time without following links, so that a planted link cannot lead a socket, a send or a sweep
// outside the root. Sockets in it are addressed by their path where it fits a socket address,
// which is cheaper, and through the open folder where the root is too long for that.

#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <utility>

namespace sv::notify {

class NotifyFolder {
public:
    // Opens the folder (making the missing ones when create is set). On failure answers nothing
    // and, when problem is given, says why in a sentence for a person; missing is then set when
    // the folder simply is not there yet.
    static std::optional<NotifyFolder> open(bool create, std::string* problem = nullptr, bool* missing = nullptr);

    NotifyFolder(NotifyFolder&& other) noexcept;
    NotifyFolder& operator=(NotifyFolder&& other) noexcept;
    NotifyFolder(const NotifyFolder&) = delete;
    NotifyFolder& operator=(const NotifyFolder&) = delete;
    ~NotifyFolder();

    int fd() const { return fd_; }
    std::pair<dev_t, ino_t> identity() const { return { device_, inode_ }; }
    bool sameAs(const NotifyFolder& other) const { return identity() == other.identity(); }

    // The address of the socket file named name in this folder; false when it cannot be made.
    bool address(std::string_view name, sockaddr_un& address, socklen_t& length) const;
    // The folder named through its descriptor, whatever the root's length.
    std::string viaDescriptor() const;

private:
    NotifyFolder(int fd, std::string path, dev_t device, ino_t inode)
        : fd_(fd), path_(std::move(path)), device_(device), inode_(inode)
    {
    }

    int fd_ = -1;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace sv::notify
