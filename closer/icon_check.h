#pragma once
// Whether every image a stored catalogue names is still there: one stat of each folder that holds
// them while nothing changed, the files themselves looked at only when a folder moved.

#include "platform/foundation/value.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class IconCheck {
public:
    // A folder's times come from the kernel's coarse clock, and some file systems keep whole
    // seconds: a folder changed less than settle ago may change again without its times showing
    // it, so such a look is not kept.
    explicit IconCheck(std::chrono::nanoseconds settle = std::chrono::seconds(2)) : settle_(settle) { }
    static IconCheck& shared();

    // Whether the "IconPath" of every record names a file that exists; one in the icons folder
    // must moreover be a whole PNG, for an image written unflushed may be cut short by a power
    // cut. The records are kept, to know them again: the settings cache hands out the very same
    // array while the file's bytes stay the same.
    bool allPresent(const std::shared_ptr<const sv::Array>& records);

    // How many times the files themselves were looked at.
    std::size_t fullChecks() const { return fullChecks_; }
    void forget();

private:
    struct Folder {
        std::string hostPath;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified {};
        timespec changed {};
    };

    bool checkEveryFile(const sv::Array& records, std::vector<Folder>& folders, bool& settled);
    static bool unchanged(const Folder& folder);

    std::chrono::nanoseconds settle_;
    std::shared_ptr<const sv::Array> records_;
    std::vector<Folder> folders_;
    std::size_t fullChecks_ = 0;
};
