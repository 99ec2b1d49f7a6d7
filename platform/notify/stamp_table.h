#pragma once
// Stamps of posts, shared by every process of the device through one mapped file in the
// notification folder. Each post takes the next stamp of a device-wide sequence and records it
// as its name's latest; a sender that finds an observer's socket full counts a miss for it. An
// observer compares the latest stamps of what it observes with what it has delivered, so a name
// whose datagram found no room is still delivered once, however many were dropped.

#include "platform/notify/notify_folder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

namespace sv::notify {

class StampTable {
public:
    // Maps the folder's table, making it when missing; null when it cannot be had.
    static std::unique_ptr<StampTable> open(const NotifyFolder& folder);
    ~StampTable();
    StampTable(const StampTable&) = delete;
    StampTable& operator=(const StampTable&) = delete;

    // Records a post of name; answers its stamp, 0 when the table has no room for the name.
    std::uint64_t stampPost(std::string_view name);
    // The stamp of the latest post of name; 0 when it was never posted.
    std::uint64_t latest(std::string_view name) const;

    // Whether this is still the table the folder holds (it may have been removed and made anew).
    bool inPlace(const NotifyFolder& folder) const;

    void countMiss(std::string_view socketName);
    std::uint64_t misses(std::string_view socketName) const;


private:
    struct Slot {
        std::uint64_t key;
        std::uint64_t value;
    };
    StampTable(void* memory, std::size_t size, dev_t device, ino_t inode);
    // The slot of key, claimed when create is set; null when absent or the table is full.
    Slot* find(std::uint64_t key, bool create) const;
    std::uint64_t load(std::uint64_t key) const;

    void* memory_;
    std::size_t size_;
    dev_t device_;
    ino_t inode_;
};

} // namespace sv::notify
