// Whole-file reads beneath the device root, and the few bytes a check needs.
#include "platform/foundation/files_detail.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::fs {
namespace {
    // Opened without waiting for a writer (a FIFO) and without following a link; only regular
    // files are read.
    constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

    // The size of the regular file open as fd, when it is at most maximumSize.
    std::optional<std::size_t> regularSize(const FileDescriptor& fd, std::size_t maximumSize)
    {
        struct stat info;
        if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)
            && static_cast<std::uint64_t>(info.st_size) <= maximumSize)
            return static_cast<std::size_t>(info.st_size);
        return std::nullopt;
    }

    // Reads at most size bytes of fd into into; how many came.
    std::size_t readInto(const FileDescriptor& fd, std::uint8_t* into, std::size_t size)
    {
        return detail::transferAll(size, [&](std::size_t done) { return ::read(fd.get(), into + done, size - done); });
    }

    std::optional<std::vector<std::uint8_t>> readOpen(const FileDescriptor& fd, std::size_t maximumSize)
    {
        auto size = regularSize(fd, maximumSize);
        if (!size)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(*size);
        bytes.resize(readInto(fd, bytes.data(), bytes.size()));
        return bytes;
    }

    // Whether size bytes at offset came whole.
    bool readAt(const FileDescriptor& fd, std::span<std::uint8_t> into, off_t offset)
    {
        auto readFrom = [&](std::size_t done) {
            return ::pread(fd.get(), into.data() + done, into.size() - done, offset + static_cast<off_t>(done));
        };
        return detail::transferAll(into.size(), readFrom) == into.size();
    }

    // A file to read at a device path, opened without following any link: in one call where the
    // kernel can, else folder by folder. The kernel refuses just what the walk refuses, so only
    // a kernel that cannot sends the open to the walk.
    FileDescriptor openForReading(std::string_view devicePath)
    {
        auto parts = detail::componentsOf(devicePath);
        if (!detail::rootSet() || !parts || parts->empty())
            return {};
        if (auto held = detail::openRoot()) {
            int error = 0;
            auto fd = detail::openBeneath(held->fd(), detail::joined(*parts, parts->size()).c_str(), kReadFlags, false, error);
            if (fd || error != ENOSYS)
                return fd;
        }
        std::string leaf;
        auto parent = detail::walkToParent(devicePath, leaf);
        return FileDescriptor(parent ? ::openat(parent->fd(), leaf.c_str(), kReadFlags | O_NOFOLLOW) : -1);
    }
}

std::optional<std::vector<std::uint8_t>> readHostFile(const std::string& hostPath, std::size_t maximumSize)
{
    return readOpen(FileDescriptor(::open(hostPath.c_str(), kReadFlags)), maximumSize);
}

std::optional<std::vector<std::uint8_t>> readData(std::string_view devicePath, std::size_t maximumSize)
{
    return readOpen(openForReading(devicePath), maximumSize);
}

Comparison readDataAgain(std::string_view devicePath, const std::vector<std::uint8_t>& known,
                         std::vector<std::uint8_t>& changed, std::size_t maximumSize)
{
    changed.clear();
    auto fd = openForReading(devicePath);
    auto size = regularSize(fd, maximumSize);
    if (!size)
        return Comparison::Unreadable;
    // Read into room this thread keeps from one read to the next: a file that did not change
    // costs one read and one compare, and no room is made for it.
    thread_local std::vector<std::uint8_t> room;
    if (room.size() < *size)
        room.resize(*size);
    std::size_t done = readInto(fd, room.data(), *size);
    Comparison comparison = Comparison::Same;
    if (done != known.size() || (done != 0 && std::memcmp(room.data(), known.data(), done) != 0)) {
        changed.assign(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(done));
        comparison = Comparison::Changed;
    }
    // Room for a file far larger than a settings file is not kept for the next read.
    if (room.size() > (std::size_t(1) << 20))
        std::vector<std::uint8_t>().swap(room);
    return comparison;
}

bool readEndsIn(const Folder& folder, std::string_view name, std::span<std::uint8_t> head, std::span<std::uint8_t> tail)
{
    if (!folder || !isPlainName(name))
        return false;
    FileDescriptor fd(::openat(folder.fd(), std::string(name).c_str(), kReadFlags | O_NOFOLLOW));
    auto size = regularSize(fd, SIZE_MAX);
    return size && *size >= head.size() + tail.size() && readAt(fd, head, 0)
        && readAt(fd, tail, static_cast<off_t>(*size - tail.size()));
}

} // namespace sv::fs
