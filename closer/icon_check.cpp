#include "closer/icon_check.h"

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long nanoseconds(const timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A PNG that was written to its end: the signature first and the closing chunk last.
bool wholePng(const std::string& hostPath)
{
    static constexpr unsigned char kSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    static constexpr unsigned char kEnd[12] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat info;
    unsigned char head[8], tail[12];
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && info.st_size >= static_cast<off_t>(sizeof head + sizeof tail)
        && ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head)
        && ::pread(fd, tail, sizeof tail, info.st_size - static_cast<off_t>(sizeof tail)) == static_cast<ssize_t>(sizeof tail)
        && std::memcmp(head, kSignature, sizeof head) == 0 && std::memcmp(tail, kEnd, sizeof tail) == 0;
    ::close(fd);
    return whole;
}

std::string_view parentOf(std::string_view path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || slash == 0 ? std::string_view("/") : path.substr(0, slash);
}

} // namespace

IconCheck& IconCheck::shared()
{
    static IconCheck check;
    return check;
}

bool IconCheck::unchanged(const Folder& folder)
{
    struct stat info;
    return ::stat(folder.hostPath.c_str(), &info) == 0 && info.st_dev == folder.device && info.st_ino == folder.inode
        && sameTime(info.st_mtim, folder.modified) && sameTime(info.st_ctim, folder.changed);
}

bool IconCheck::allPresent(const std::shared_ptr<const sv::Array>& records)
{
    if (!records)
        return false;
    // Adding, removing or renaming an entry of a folder moves its times, so while the records are
    // the same and no folder of theirs moved, every file found before is still there.
    if (records_ && (records_ == records || *records_ == *records) && std::all_of(folders_.begin(), folders_.end(), unchanged))
        return true;
    forget();
    std::vector<Folder> folders;
    bool settled = true;
    if (!checkEveryFile(*records, folders, settled))
        return false;
    if (settled) {
        records_ = records;
        folders_ = std::move(folders);
    }
    return true;
}

bool IconCheck::checkEveryFile(const sv::Array& records, std::vector<Folder>& folders, bool& settled)
{
    ++fullChecks_;
    std::vector<const std::string*> paths;
    paths.reserve(records.size());
    for (const sv::Value& record : records) {
        const sv::Dictionary* fields = record.asDictionary();
        const std::string* path = fields ? sv::findString(*fields, slv::key::IconPath) : nullptr;
        if (!path)
            return false;
        paths.push_back(path);
    }

    // The folders are looked at before their files: whatever is removed after this moves them.
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    for (const std::string* path : paths) {
        std::string folder(parentOf(sv::fs::resolve(*path)));
        if (std::any_of(folders.begin(), folders.end(), [&](const Folder& f) { return f.hostPath == folder; }))
            continue;
        struct stat info;
        if (::stat(folder.c_str(), &info) != 0) {
            settled = false;
            continue;
        }
        if (std::max(nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)) > nanoseconds(now) - settle_.count())
            settled = false;
        folders.push_back({ folder, info.st_dev, info.st_ino, info.st_mtim, info.st_ctim });
    }

    std::string iconsFolder = sv::fs::resolve(slv::path::IconsFolder);
    for (const std::string* path : paths) {
        if (!sv::fs::exists(*path))
            return false;
        std::string hostPath = sv::fs::resolve(*path);
        if (parentOf(hostPath) == iconsFolder && !wholePng(hostPath))
            return false;
        // A link may lose its target without its folder moving: never skip looking at it.
        struct stat entry;
        if (::lstat(hostPath.c_str(), &entry) != 0 || S_ISLNK(entry.st_mode))
            settled = false;
    }
    return true;
}

void IconCheck::forget()
{
    records_.reset();
    folders_.clear();
}
