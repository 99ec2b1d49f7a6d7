#include "platform/foundation/file_descriptor.h"

#include <unistd.h>

namespace sv::fs {

void FileDescriptor::reset(int fd) noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd < 0 ? -1 : fd;
}

} // namespace sv::fs
