#include "platform/notify/stamp_table.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::notify {
namespace {
    constexpr const char* kFileName = "stamps";
    constexpr std::uint64_t kMagic = 0x31706d7473767311; // "\x11svstmp1"
    // Names and observers alike take a slot for good; this is room for far more than a device
    // ever has. The file is sparse: only slots in use take space.
    constexpr std::size_t kSlots = 1u << 16;
    constexpr std::size_t kProbes = 512;
    constexpr std::size_t kHeader = 64;
    constexpr std::size_t kFileSize = kHeader + kSlots * 16;

    struct Header {
        std::uint64_t magic;
        std::uint64_t sequence;
    };

    std::uint64_t hashOf(char kind, std::string_view text)
    {
        std::uint64_t hash = 14695981039346656037ull;
        auto mix = [&hash](unsigned char byte) {
            hash ^= byte;
            hash *= 1099511628211ull;
        };
        mix(static_cast<unsigned char>(kind));
        for (char c : text)
            mix(static_cast<unsigned char>(c));
        return hash ? hash : 1; // 0 marks a free slot
    }

    template <typename T> std::atomic_ref<T> shared(T& value) { return std::atomic_ref<T>(value); }
}

std::unique_ptr<StampTable> StampTable::open(const NotifyFolder& folder)
{
    int fd = ::openat(folder.fd(), kFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    struct stat info;
    bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    // Growing only: shrinking a file that others have mapped would fault them.
    if (usable && static_cast<std::uint64_t>(info.st_size) < kFileSize)
        usable = ::ftruncate(fd, kFileSize) == 0;
    void* memory = usable ? ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (memory == MAP_FAILED)
        return nullptr;
    auto& header = *static_cast<Header*>(memory);
    std::uint64_t expected = 0;
    shared(header.magic).compare_exchange_strong(expected, kMagic);
    if (expected != 0 && expected != kMagic) {
        ::munmap(memory, kFileSize);
        return nullptr;
    }
    return std::unique_ptr<StampTable>(new StampTable(memory, kFileSize, info.st_dev, info.st_ino));
}

StampTable::StampTable(void* memory, std::size_t size, dev_t device, ino_t inode)
    : memory_(memory), size_(size), device_(device), inode_(inode)
{
}

StampTable::~StampTable()
{
    ::munmap(memory_, size_);
}

bool StampTable::inPlace(const NotifyFolder& folder) const
{
    struct stat info;
    return ::fstatat(folder.fd(), kFileName, &info, AT_SYMLINK_NOFOLLOW) == 0 && info.st_dev == device_
        && info.st_ino == inode_;
}

StampTable::Slot* StampTable::find(std::uint64_t key, bool create) const
{
    auto* slots = reinterpret_cast<Slot*>(static_cast<char*>(memory_) + kHeader);
    for (std::size_t probe = 0; probe < kProbes; ++probe) {
        Slot& slot = slots[(key + probe) % kSlots];
        std::uint64_t held = shared(slot.key).load();
        if (held == key)
            return &slot;
        if (held != 0)
            continue;
        if (!create)
            return nullptr;
        if (shared(slot.key).compare_exchange_strong(held, key) || held == key)
            return &slot;
    }
    return nullptr;
}

std::uint64_t StampTable::load(std::uint64_t key) const
{
    Slot* slot = find(key, false);
    return slot ? shared(slot->value).load() : 0;
}

std::uint64_t StampTable::stampPost(std::string_view name)
{
    Slot* slot = find(hashOf('n', name), true);
    if (!slot)
        return 0;
    std::uint64_t stamp = shared(static_cast<Header*>(memory_)->sequence).fetch_add(1) + 1;
    // Posts of one name from two processes may record out of order: keep the larger.
    auto value = shared(slot->value);
    std::uint64_t held = value.load();
    while (held < stamp && !value.compare_exchange_weak(held, stamp)) { }
    return stamp;
}

std::uint64_t StampTable::latest(std::string_view name) const
{
    return load(hashOf('n', name));
}

void StampTable::countMiss(std::string_view socketName)
{
    if (Slot* slot = find(hashOf('m', socketName), true))
        shared(slot->value).fetch_add(1);
}

std::uint64_t StampTable::misses(std::string_view socketName) const
{
    return load(hashOf('m', socketName));
}

} // namespace sv::notify
