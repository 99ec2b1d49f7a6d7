#pragma once
// Reads of property-list files that parse again only when a file's bytes differ from the bytes
// last parsed at that path. Every answer is the one a fresh plist::readFile would give, whatever
// the file's size or times say; what is saved is the parse, at the price of one read and one
// compare of the bytes.

#include "platform/foundation/value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace sv::plist {

class PropertyListCache {
public:
    // The process's own cache, shared by every reader in it.
    static PropertyListCache& shared();

    // The value in a file (device path); null when it is missing, unreadable or not a property
    // list. The value is shared and never changes: copy it to change it.
    std::shared_ptr<const Value> read(std::string_view devicePath);
    // The top-level dictionary of a file; null when readFile would give no dictionary.
    std::shared_ptr<const Dictionary> readDictionary(std::string_view devicePath);

    // Takes note that the file now holds bytes that parse into value, as a writer in this process
    // knows of what it has just written; the next read then parses nothing. The value is the
    // cache's from then on: nothing may change it.
    void remember(std::string_view devicePath, std::vector<std::uint8_t> bytes, std::shared_ptr<Value> value);

    // For a writer that holds a file's lock and is about to replace the file: a value that read
    // gave, to be changed. When nothing else holds it, it is the cache's own and the cache forgets
    // the file it came from (no reader can see it change); otherwise it is a copy.
    std::shared_ptr<Value> takeOver(std::shared_ptr<const Value> value);

    // How many times bytes were parsed; lets tests and benchmarks see the cache at work.
    std::size_t parses() const;
    void clear();

private:
    struct Entry {
        std::string hostPath;
        // Shared with a read that compares the file with them while the lock is not held.
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
        // Made by the cache or handed over to it, so never a const object: takeOver may change it.
        std::shared_ptr<Value> value;
    };
    // A handful of files are read again and again; more than this and the oldest is forgotten.
    static constexpr std::size_t kMaximumEntries = 8;

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::size_t parses_ = 0;
};

} // namespace sv::plist
