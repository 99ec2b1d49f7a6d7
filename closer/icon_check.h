#pragma once
// Whether the images a stored catalogue names are what a rebuild would name now: one stat of the
// icons folder while nothing in it changed, every file looked at only when it moved.

#include "platform/foundation/value.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <sys/types.h>

class IconCheck {
public:
    // A folder's times come from the kernel's coarse clock, and some file systems keep whole
    // seconds: a folder changed less than settle ago may change again without its times showing
    // it, so such a look is not kept.
    explicit IconCheck(std::chrono::nanoseconds settle = std::chrono::seconds(2)) : settle_(settle) { }
    static IconCheck& shared();

    // Whether every record's "IconPath" is what a rebuild would give its "BundleID" now (its
    // image when the icons folder holds it, else the fallback icon), and every image named is a
    // whole PNG: one written unflushed may be cut short by a power cut. The records are kept, to
    // know them again: the settings cache hands out the very same array while the file's bytes
    // stay the same.
    bool imagesCurrent(const std::shared_ptr<const sv::Array>& records);

    // How many times the files themselves were looked at.
    std::size_t fullChecks() const { return fullChecks_; }
    void forget();

private:
    struct Folder {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified {};
        timespec changed {};
        bool operator==(const Folder&) const;
    };

    bool checkEveryFile(const sv::Array& records);
    static bool look(Folder& folder);

    std::chrono::nanoseconds settle_;
    std::shared_ptr<const sv::Array> records_;
    Folder folder_;
    std::size_t fullChecks_ = 0;
};
