#pragma once
// What the parts of the file layer share: the held device root and the walk beneath it. Not for
// use outside platform/foundation.

#include "platform/foundation/files.h"

#include <cerrno>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace sv::fs::detail {

// The open root; null (errno set) when none is set or it cannot be opened now, in which case the
// next use tries again.
std::shared_ptr<const Folder> openRoot();
bool rootSet();

// The components of a device path; nothing for a relative path or one with "." or "..", which
// could climb out of the root.
std::optional<std::vector<std::string>> componentsOf(std::string_view devicePath);
// parts[0..count) as one path relative to the root.
std::string joined(const std::vector<std::string>& parts, std::size_t count);

// Opens relative under rootFd in one call: the kernel refuses every link on the way and anything
// that would leave the root. When nothing is opened error says why, ENOSYS where the kernel
// cannot do it.
FileDescriptor openBeneath(int rootFd, const char* relative, int flags, bool folder, int& error);

// Walks from the root to the folder holding the last component, never through a link, so that
// nothing planted inside the root can lead outside it. With create, missing folders are made on
// the way.
std::optional<Folder> walkToParent(std::string_view devicePath, std::string& leaf, bool create = false,
                                   mode_t permissions = 0755);

bool isRegular(int fd);

// Repeats transfer (one read or write call, given how many bytes are done) until size bytes are
// done, the file ends or a call fails; an interrupted call is made again. How many bytes are done.
template <typename Transfer> std::size_t transferAll(std::size_t size, Transfer transfer)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Locks fd exclusively, waiting at most timeoutSeconds: a holder that is stopped or stuck must
// not stop us. false (errno set) when the lock was not had.
bool lockWithin(int fd, double timeoutSeconds);

} // namespace sv::fs::detail
