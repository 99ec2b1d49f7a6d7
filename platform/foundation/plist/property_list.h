#pragma once
// Property-list files: read whole (XML or binary), written whole and atomically: as XML, or as
// binary where XML cannot carry a value exactly or would outgrow what readers take.

#include "platform/foundation/value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace sv::plist {

// Files larger than this, or nested deeper, read as nothing.
inline constexpr std::size_t kMaximumFileSize = 32 * 1024 * 1024;
inline constexpr int kMaximumDepth = 256;

// The value of a serialised property list, or nothing when the bytes are not one.
std::optional<Value> parse(const std::uint8_t* bytes, std::size_t size);
std::vector<std::uint8_t> serializeXml(const Value& value);
// libplist's own XML writer, which serializeXml matches byte for byte; for tests.
std::vector<std::uint8_t> serializeXmlThroughLibplist(const Value& value);
std::vector<std::uint8_t> serializeBinary(const Value& value);
// The bytes writeFile writes: nothing for a value that no reader of ours would take back (too
// deep, or too large in either format).
std::vector<std::uint8_t> serializeForFile(const Value& value);

// The value in a file (device path), or nothing when it is missing or not a property list.
std::optional<Value> readFile(std::string_view devicePath);
// The top-level dictionary of a file, or nothing when it is missing, unreadable or no dictionary.
std::optional<Dictionary> readDictionary(std::string_view devicePath);
bool writeFile(std::string_view devicePath, const Value& value);

// AlreadyCurrent: the change left the dictionary as the file holds it, so nothing was written.
enum class UpdateResult { Written, Unchanged, Unreadable, WriteFailed, Busy, AlreadyCurrent };

// How long a read-modify-write waits for another process's: short enough for a main thread.
inline constexpr double kLockTimeout = 0.25;

// One read-modify-write of a dictionary file, serialised between processes by an advisory lock
// on a companion file ("<file>.lock"); Busy when the lock was not had within the timeout, and
// then nothing was read or written. A missing file starts as an empty dictionary; a file that is
// not a dictionary property list is never written over. change answers whether to write; a file
// that already holds the changed dictionary is left as it is (the same inode and times).
UpdateResult updateDictionary(std::string_view devicePath, const std::function<bool(Dictionary&)>& change,
                              double lockTimeoutSeconds = kLockTimeout);
// The same for the commonest change: the entries set over what the file holds, every other key
// kept, and AlreadyCurrent when it holds every one of them already. A large file's dictionary is
// then changed where it is held, not copied, unless another reader in the process holds it too.
UpdateResult updateEntries(std::string_view devicePath, const Dictionary& entries, double lockTimeoutSeconds = kLockTimeout);

} // namespace sv::plist
