#include "platform/foundation/plist/property_list_cache.h"

#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"

#include <algorithm>

namespace sv::plist {

PropertyListCache& PropertyListCache::shared()
{
    static PropertyListCache cache;
    return cache;
}

std::shared_ptr<const Value> PropertyListCache::read(std::string_view devicePath)
{
    std::string hostPath = fs::resolve(devicePath);
    if (hostPath.empty())
        return nullptr;
    auto entryFor = [&] {
        return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.hostPath == hostPath; });
    };
    std::shared_ptr<const std::vector<std::uint8_t>> known;
    {
        std::lock_guard lock(mutex_);
        if (auto found = entryFor(); found != entries_.end())
            known = found->bytes;
    }
    // The same read readFile makes, so that the bytes compared are the bytes it would parse.
    std::vector<std::uint8_t> bytes;
    fs::Comparison comparison = fs::Comparison::Changed;
    if (known) {
        comparison = fs::readDataAgain(devicePath, *known, bytes, kMaximumFileSize);
    } else if (auto read = fs::readData(devicePath, kMaximumFileSize)) {
        bytes = std::move(*read);
    } else {
        comparison = fs::Comparison::Unreadable;
    }
    if (comparison == fs::Comparison::Unreadable)
        return nullptr;

    std::lock_guard lock(mutex_);
    auto found = entryFor();
    // Another thread may have read another file there meanwhile: the entry counts only when it
    // holds the bytes just read.
    bool same = comparison == fs::Comparison::Same;
    const std::vector<std::uint8_t>& current = same ? *known : bytes;
    if (found != entries_.end() && ((same && found->bytes == known) || *found->bytes == current)) {
        // Most recently used last, so that eviction takes the oldest.
        std::rotate(found, found + 1, entries_.end());
        return entries_.back().value;
    }
    ++parses_;
    auto parsed = parse(current.data(), current.size());
    std::shared_ptr<Value> value = parsed ? std::make_shared<Value>(std::move(*parsed)) : nullptr;
    auto kept = same ? known : std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    if (found != entries_.end())
        entries_.erase(found);
    else if (entries_.size() >= kMaximumEntries)
        entries_.erase(entries_.begin());
    entries_.push_back({ std::move(hostPath), std::move(kept), value });
    return value;
}

std::shared_ptr<const Dictionary> PropertyListCache::readDictionary(std::string_view devicePath)
{
    auto value = read(devicePath);
    const Dictionary* dictionary = value ? value->asDictionary() : nullptr;
    return dictionary ? std::shared_ptr<const Dictionary>(value, dictionary) : nullptr;
}

void PropertyListCache::remember(std::string_view devicePath, std::vector<std::uint8_t> bytes, std::shared_ptr<Value> value)
{
    std::string hostPath = fs::resolve(devicePath);
    if (hostPath.empty())
        return;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.hostPath == hostPath; });
    if (entries_.size() >= kMaximumEntries)
        entries_.erase(entries_.begin());
    entries_.push_back({ std::move(hostPath), std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)), std::move(value) });
}

std::shared_ptr<Value> PropertyListCache::takeOver(std::shared_ptr<const Value> value)
{
    if (!value)
        return nullptr;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.value == value; });
        // Held by the entry and the argument alone, and no one can take a new hold but from the
        // entry, which goes.
        if (found != entries_.end() && found->value.use_count() == 2) {
            std::shared_ptr<Value> own = std::move(found->value);
            entries_.erase(found);
            return own;
        }
    }
    return std::make_shared<Value>(*value);
}

std::size_t PropertyListCache::parses() const
{
    std::lock_guard lock(mutex_);
    return parses_;
}

void PropertyListCache::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace sv::plist
