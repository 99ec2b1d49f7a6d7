#pragma once
// Files of the simulated device. Every path here is a device path ("/var/mobile/...") and is
// resolved under the device root that the host (or a test) sets at start; nothing is read or
// written outside it: a path with "." or ".." is refused, and no link inside the root is
// followed, so a planted one makes the operation fail instead of leading elsewhere.

#include "platform/foundation/file_descriptor.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace sv::fs {

// The root folder is opened at its first use and kept until the root is set again, as a
// process's working folder is: a folder put in its place later is not seen.
void setDeviceRoot(std::string hostPath);
const std::string& deviceRoot();
// The host path of a device path; empty when no root is set, the path is not absolute or it
// holds "." or "..". Only for handing to what takes host paths: it does not guard against links.
std::string resolve(std::string_view devicePath);

// An open folder (an O_PATH descriptor), for the *at calls and /proc/self/fd paths.
class Folder {
public:
    Folder() = default;
    explicit Folder(FileDescriptor fd) : fd_(std::move(fd)) { }
    int fd() const { return fd_.get(); }
    explicit operator bool() const { return static_cast<bool>(fd_); }

private:
    FileDescriptor fd_;
};

// A name that stays inside the folder it is taken in: not empty, not "." or "..", no "/" and
// no NUL.
bool isPlainName(std::string_view name);

// The folder at a device path, reached without following any link; nothing if there is none.
std::optional<Folder> openFolder(std::string_view devicePath);

bool exists(std::string_view devicePath);
// Creates one folder (no intermediate folders) with the given permissions; false if it could
// not be made, an existing folder included.
bool createDirectory(std::string_view devicePath, mode_t permissions);
// Creates a folder and every missing folder above it.
bool createDirectories(std::string_view devicePath, mode_t permissions = 0755);

// Regular files only: a FIFO, device or link there reads as nothing, at once.
std::optional<std::vector<std::uint8_t>> readData(std::string_view devicePath,
                                                  std::size_t maximumSize = SIZE_MAX);
// readData for a reader that holds the bytes it read last time (known): Same when the file holds
// exactly those bytes still, found without a copy of them; Changed with the file's bytes in
// changed; Unreadable where readData gives nothing.
enum class Comparison { Unreadable, Same, Changed };
Comparison readDataAgain(std::string_view devicePath, const std::vector<std::uint8_t>& known,
                         std::vector<std::uint8_t>& changed, std::size_t maximumSize = SIZE_MAX);
// The first head.size() and the last tail.size() bytes of the regular file name (a plain name,
// no link followed) directly in folder; false when there is no such file or it is shorter than
// both together. For checking that a file was written to its end without reading all of it.
bool readEndsIn(const Folder& folder, std::string_view name, std::span<std::uint8_t> head,
                std::span<std::uint8_t> tail);

// Whether a whole-file write waits for its bytes to reach the disk before it renames them into
// place. Either way every process sees the old or the new file, never a part, whenever a writer
// is killed; only a power cut tells them apart: unflushed, the new name may then hold an empty or
// short file, so use it only for files whose readers can tell and that the writer makes again.
enum class Durability { Flushed, Unflushed };

// Writes to a temporary file in the same folder ("<file>.tmp", taken in turn by the writers of
// that file), flushes it and renames it over the old file, so that a reader sees the old or the
// new content, never a part, and a writer killed half-way leaves at most that one temporary.
// A writer waits for the one before it at most kTemporaryLockTimeout: a process that holds the
// temporary's lock and is stopped or stuck (any process that can read it can lock it) makes the
// write fail, the old file kept, instead of stopping the writer.
inline constexpr double kTemporaryLockTimeout = 0.25;
bool writeDataAtomically(std::string_view devicePath, const void* bytes, std::size_t size,
                         Durability durability = Durability::Flushed);

// exists and writeDataAtomically for a file directly in an open folder: name is one plain file
// name (no "/", "." or ".."), and a link by that name is not followed. For many files in one
// folder, which is then reached only once.
bool existsIn(const Folder& folder, std::string_view name);
bool writeDataAtomicallyIn(const Folder& folder, std::string_view name, const void* bytes, std::size_t size,
                           Durability durability = Durability::Flushed);

// Removes the temporary a killed writer left beside a file, as the next write would take it over;
// for a write found needless.
void removeLeftoverTemporary(std::string_view devicePath);

// What is at a device path, found without following a link (a link is reported as one).
struct FileInfo {
    enum class Kind { Missing, Regular, Folder, Link, Fifo, Other };
    Kind kind = Kind::Missing;
    std::uint64_t size = 0;
    std::uint64_t links = 0; // names of the file; more than one for a regular file: a hard link
    dev_t device = 0;
    ino_t inode = 0;
    bool sameFile(const FileInfo& other) const
    {
        return kind == other.kind && device == other.device && inode == other.inode;
    }
};
FileInfo fileInfo(std::string_view devicePath);

// Appends to the regular file at a device path, only while it is still the file known (the same
// file, of one name and the known size), so that a file replaced, removed or grown by another
// meanwhile is never added to: Changed then, and nothing written. Never creates the file, follows
// no link and never waits for a FIFO. Failed: it could not be written (a part may have been).
enum class AppendResult { Written, Changed, Failed };
AppendResult appendData(std::string_view devicePath, const void* bytes, std::size_t size, const FileInfo& known);

// Renames within the device root, replacing what to names (unless it is a folder); a link by
// either name is renamed or replaced itself, never followed.
bool renameFile(std::string_view from, std::string_view to);
// Removes what is at a device path, a link itself (never what it points to), a folder not; true
// when nothing is there afterwards.
bool removeFile(std::string_view devicePath);
// removeFile that also removes a folder with everything in it (links themselves, none followed,
// 32 folders deep at most); true when nothing is there afterwards.
bool removeTree(std::string_view devicePath);

// The same two for host paths.
std::optional<std::vector<std::uint8_t>> readHostFile(const std::string& hostPath,
                                                      std::size_t maximumSize = SIZE_MAX);
bool writeHostFileAtomically(const std::string& hostPath, const void* bytes, std::size_t size,
                             Durability durability = Durability::Flushed);
// Why a whole file could not be written at a host path as writeHostFileAtomically writes it (its
// folder takes no new file, or a folder is in the way), as strerror says it; nothing when it
// could. For programs that check where their output goes before the work that makes it.
std::optional<std::string> hostFileUnwritable(const std::string& hostPath);

// An exclusive advisory lock on the companion file "<file>.lock" of a device path, shared by
// every process that writes that file. Waits at most timeoutSeconds, so that a holder that is
// stopped or hung delays us but never stops us; nothing when the lock was not had.
class FileLock {
public:
    static std::optional<FileLock> acquire(std::string_view devicePath, double timeoutSeconds);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    ~FileLock();

private:
    FileLock() = default;
    FileDescriptor fd_;
};

// Opens the folder at a device path with flags (O_RDONLY to list it, say) in one call that
// follows no link on the way. When it is not opened, error says why: ELOOP for a link, ENOENT
// for a missing folder, ENOSYS where the kernel cannot and the caller walks one folder at a time.
FileDescriptor openFolderBeneathRoot(std::string_view devicePath, int flags, int& error);

// For tests: reach every folder one at a time, as on a kernel that cannot resolve a whole path
// beneath the root in one call.
void resolveOneFolderAtATimeForTesting(bool enabled);

// The time the file system dates changes with now: the system's wall clock, whatever clock the
// run loop keeps.
std::chrono::system_clock::time_point fileTimeNow();

// The home folder of the device's user.
std::string homeDirectory();

} // namespace sv::fs
