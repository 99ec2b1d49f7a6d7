#include "closer/icon_check.h"

#include "closer/icon_names.h"
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"

#include <cstdint>
#include <cstring>
#include <sys/stat.h>

namespace {

long long nanoseconds(const timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// A PNG that was written to its end: the signature first and the closing chunk last.
bool wholePng(const sv::fs::Folder& folder, const std::string& name)
{
    static constexpr unsigned char kSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    static constexpr unsigned char kEnd[12] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };
    std::uint8_t head[8], tail[12];
    return sv::fs::readEndsIn(folder, name, head, tail) && std::memcmp(head, kSignature, sizeof head) == 0
        && std::memcmp(tail, kEnd, sizeof tail) == 0;
}

} // namespace

IconCheck& IconCheck::shared()
{
    static IconCheck check;
    return check;
}

bool IconCheck::Folder::operator==(const Folder& other) const
{
    return device == other.device && inode == other.inode && nanoseconds(modified) == nanoseconds(other.modified)
        && nanoseconds(changed) == nanoseconds(other.changed);
}

bool IconCheck::look(Folder& folder)
{
    // Reached as the file layer reaches the images, no link followed on the way.
    auto opened = sv::fs::openFolder(slv::path::IconsFolder);
    struct stat info;
    if (!opened || ::fstat(opened->fd(), &info) != 0)
        return false;
    folder = { info.st_dev, info.st_ino, info.st_mtim, info.st_ctim };
    return true;
}

bool IconCheck::imagesCurrent(const std::shared_ptr<const sv::Array>& records)
{
    if (!records)
        return false;
    // Adding, removing or renaming an entry of the folder moves its times, so while the records
    // are the same and the folder did not move, each image is there or not as it was last time.
    Folder now;
    if (records_ && (records_ == records || *records_ == *records) && look(now) && now == folder_)
        return true;
    forget();

    // The folder is looked at before its files: whatever changes after this moves it.
    auto wall = std::chrono::duration_cast<std::chrono::nanoseconds>(sv::fs::fileTimeNow().time_since_epoch());
    bool settled = look(now)
        && std::max(nanoseconds(now.modified), nanoseconds(now.changed)) <= wall.count() - settle_.count();
    if (!checkEveryFile(*records))
        return false;
    if (settled) {
        records_ = records;
        folder_ = now;
    }
    return true;
}

bool IconCheck::checkEveryFile(const sv::Array& records)
{
    ++fullChecks_;
    auto icons = sv::fs::openFolder(slv::path::IconsFolder);
    for (const sv::Value& record : records) {
        const sv::Dictionary* fields = record.asDictionary();
        const std::string* bundleID = fields ? sv::findString(*fields, slv::key::BundleID) : nullptr;
        const std::string* iconPath = fields ? sv::findString(*fields, slv::key::IconPath) : nullptr;
        if (!bundleID || !iconPath || *iconPath != recordIconPath(*bundleID, icons))
            return false;
        if (*iconPath == slv::path::MissingIcon)
            continue;
        // An image named is one in the icons folder (else the paths would differ), and it is
        // not a link either: one could lose its target without the folder moving.
        if (!icons || !wholePng(*icons, *imageNameFor(*bundleID)))
            return false;
    }
    return true;
}

void IconCheck::forget()
{
    records_.reset();
    folder_ = {};
}
