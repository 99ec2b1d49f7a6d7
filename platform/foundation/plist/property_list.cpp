// The one place that speaks libplist.
#include "platform/foundation/plist/property_list.h"

#include "platform/foundation/files.h"
#include "platform/foundation/plist/plist_checks.h"
#include "platform/foundation/plist/property_list_cache.h"
#include "platform/foundation/plist/xml_writer.h"

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <limits>
#include <memory>

namespace sv::plist {
namespace {

    struct NodeDeleter {
        void operator()(plist_t node) const { plist_free(node); }
    };
    using Node = std::unique_ptr<void, NodeDeleter>;

    // libplist holds a date as 32-bit seconds and loses microseconds on its way through binary:
    // dates are kept to the whole second, the nearest one it can hold (0 for none at all).
    double writableDate(double secondsSince2001)
    {
        constexpr double kFirst = std::numeric_limits<std::int32_t>::min();
        constexpr double kLast = std::numeric_limits<std::int32_t>::max();
        return std::isnan(secondsSince2001) ? 0 : std::floor(std::clamp(secondsSince2001, kFirst, kLast));
    }

    std::optional<Value> fromNode(plist_t node, int depth)
    {
        if (!node || depth > kMaximumDepth)
            return std::nullopt;
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            std::uint8_t flag = 0;
            plist_get_bool_val(node, &flag);
            return Value(flag != 0);
        }
        case PLIST_UINT: {
            std::uint64_t number = 0;
            plist_get_uint_val(node, &number);
            return Value(static_cast<std::int64_t>(number));
        }
        case PLIST_REAL: {
            double number = 0;
            plist_get_real_val(node, &number);
            return Value(number);
        }
        case PLIST_STRING: {
            std::uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            // The XML we write cannot hold a NUL: a string ends at its first one here already,
            // as it would after the next save.
            return Value(wellFormedUtf8(std::string_view(text ? text : "", text ? ::strnlen(text, length) : 0)));
        }
        case PLIST_KEY: {
            char* text = nullptr;
            plist_get_key_val(node, &text);
            Value value(wellFormedUtf8(text ? text : ""));
            std::free(text);
            return value;
        }
        case PLIST_DATA: {
            char* raw = nullptr;
            std::uint64_t length = 0;
            plist_get_data_val(node, &raw, &length);
            Data data;
            data.bytes.assign(reinterpret_cast<std::uint8_t*>(raw), reinterpret_cast<std::uint8_t*>(raw) + length);
            std::free(raw);
            return Value(std::move(data));
        }
        case PLIST_DATE: {
            std::int32_t seconds = 0, microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            return Value(Date { writableDate(seconds) });
        }
        case PLIST_ARRAY: {
            Array array;
            std::uint32_t n = plist_array_get_size(node);
            array.reserve(n);
            for (std::uint32_t i = 0; i < n; ++i) {
                auto element = fromNode(plist_array_get_item(node, i), depth + 1);
                if (!element)
                    return std::nullopt;
                array.push_back(std::move(*element));
            }
            return Value(std::move(array));
        }
        case PLIST_DICT: {
            Dictionary dictionary;
            plist_dict_iter iter = nullptr;
            plist_dict_new_iter(node, &iter);
            for (;;) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, iter, &key, &item);
                if (!item) {
                    std::free(key);
                    break;
                }
                auto element = fromNode(item, depth + 1);
                if (!element || !key) {
                    std::free(key);
                    std::free(iter);
                    return std::nullopt;
                }
                dictionary.insert_or_assign(wellFormedUtf8(key), std::move(*element));
                std::free(key);
            }
            std::free(iter);
            return Value(std::move(dictionary));
        }
        default:
            return std::nullopt;
        }
    }

    plist_t toNode(const Value& value)
    {
        return std::visit(
            [](const auto& v) -> plist_t {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    return plist_new_string(wellFormedUtf8(v).c_str());
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    return plist_new_uint(static_cast<std::uint64_t>(v));
                } else if constexpr (std::is_same_v<T, double>) {
                    return plist_new_real(v);
                } else if constexpr (std::is_same_v<T, bool>) {
                    return plist_new_bool(v ? 1 : 0);
                } else if constexpr (std::is_same_v<T, Data>) {
                    return plist_new_data(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size());
                } else if constexpr (std::is_same_v<T, Date>) {
                    return plist_new_date(static_cast<std::int32_t>(writableDate(v.secondsSince2001)), 0);
                } else if constexpr (std::is_same_v<T, Array>) {
                    plist_t array = plist_new_array();
                    for (const Value& element : v)
                        plist_array_append_item(array, toNode(element));
                    return array;
                } else {
                    plist_t dictionary = plist_new_dict();
                    for (const auto& [key, element] : v)
                        plist_dict_set_item(dictionary, wellFormedUtf8(key).c_str(), toNode(element));
                    return dictionary;
                }
            },
            value.storage());
    }

    std::vector<std::uint8_t> serialize(const Value& value, void (*write)(plist_t, char**, std::uint32_t*),
                                        void (*release)(char*))
    {
        Node node(toNode(value));
        char* bytes = nullptr;
        std::uint32_t length = 0;
        write(node.get(), &bytes, &length);
        std::vector<std::uint8_t> result(bytes, bytes + (bytes ? length : 0));
        release(bytes);
        return result;
    }

} // namespace

std::optional<Value> parse(const std::uint8_t* bytes, std::size_t size)
{
    if (!bytes || size == 0 || size > kMaximumFileSize)
        return std::nullopt;
    auto length = static_cast<std::uint32_t>(size);
    const char* text = reinterpret_cast<const char*>(bytes);
    bool binary = plist_is_binary(text, length);
    // The <plist> element wraps the top value in XML.
    if (binary ? !binaryDepthWithin(bytes, size, kMaximumDepth) : !xmlDepthWithin(bytes, size, kMaximumDepth + 1))
        return std::nullopt;
    plist_t raw = nullptr;
    if (binary)
        plist_from_bin(text, length, &raw);
    else
        plist_from_xml(text, length, &raw);
    Node node(raw);
    return fromNode(node.get(), 1);
}

std::vector<std::uint8_t> serializeXml(const Value& value)
{
    if (auto quick = writeXmlQuickly(value))
        return std::move(*quick);
    return serializeXmlThroughLibplist(value);
}

std::vector<std::uint8_t> serializeXmlThroughLibplist(const Value& value)
{
    return serialize(value, plist_to_xml, plist_to_xml_free);
}

std::vector<std::uint8_t> serializeBinary(const Value& value)
{
    return serialize(value, plist_to_bin, plist_to_bin_free);
}

std::optional<Value> readFile(std::string_view devicePath)
{
    auto bytes = fs::readData(devicePath, kMaximumFileSize);
    if (!bytes)
        return std::nullopt;
    return parse(bytes->data(), bytes->size());
}

std::optional<Dictionary> readDictionary(std::string_view devicePath)
{
    auto value = readFile(devicePath);
    if (!value || !value->asDictionary())
        return std::nullopt;
    return std::move(*value->asDictionary());
}

namespace {
    // xml tells whether the bytes are XML that gives back exactly this value.
    std::vector<std::uint8_t> serializeForFile(const Value& value, bool& xml)
    {
        xml = false;
        std::vector<std::uint8_t> bytes;
        if (auto quick = writeCarriedXml(value, kMaximumDepth)) {
            bytes = std::move(*quick);
            xml = bytes.size() <= kMaximumFileSize;
        } else if (depthOf(value, kMaximumDepth) > kMaximumDepth) {
            return {};
        } else if (xmlCarries(value)) {
            // What the quick writer leaves to libplist: a real, a date or data.
            bytes = serializeXmlThroughLibplist(value);
        }
        // Binary is the smaller of the two and carries every string.
        if (bytes.empty() || bytes.size() > kMaximumFileSize) {
            xml = false;
            bytes = serializeBinary(value);
        }
        if (bytes.size() > kMaximumFileSize)
            return {};
        return bytes;
    }

    // Writes the value and, when its XML gives back exactly this value, tells the cache, so that
    // the writer's own next read parses nothing.
    bool writeAndRemember(std::string_view devicePath, std::shared_ptr<Value> value)
    {
        bool exact = false;
        std::vector<std::uint8_t> bytes = serializeForFile(*value, exact);
        if (bytes.empty() || !fs::writeDataAtomically(devicePath, bytes.data(), bytes.size()))
            return false;
        if (exact)
            PropertyListCache::shared().remember(devicePath, std::move(bytes), std::move(value));
        return true;
    }
}

std::vector<std::uint8_t> serializeForFile(const Value& value)
{
    bool xml = false;
    return serializeForFile(value, xml);
}

bool writeFile(std::string_view devicePath, const Value& value)
{
    auto bytes = serializeForFile(value);
    return !bytes.empty() && fs::writeDataAtomically(devicePath, bytes.data(), bytes.size());
}

namespace {
    // Under the file's lock, decide sees what the dictionary file holds (null: no file, which
    // starts as an empty dictionary) and answers the value to write, or nothing and the result
    // to give. A file that is no dictionary is never written over.
    UpdateResult lockedUpdate(std::string_view devicePath, double lockTimeoutSeconds,
                              const std::function<std::shared_ptr<Value>(std::shared_ptr<const Value>, UpdateResult&)>& decide)
    {
        auto lock = fs::FileLock::acquire(devicePath, lockTimeoutSeconds);
        if (!lock)
            return UpdateResult::Busy;
        std::shared_ptr<const Value> current = PropertyListCache::shared().read(devicePath);
        if (current ? !current->asDictionary() : fs::exists(devicePath))
            return UpdateResult::Unreadable;
        UpdateResult result = UpdateResult::Unchanged;
        std::shared_ptr<Value> changed = decide(std::move(current), result);
        if (!changed) {
            if (result == UpdateResult::AlreadyCurrent)
                fs::removeLeftoverTemporary(devicePath);
            return result;
        }
        return writeAndRemember(devicePath, std::move(changed)) ? UpdateResult::Written : UpdateResult::WriteFailed;
    }
}

UpdateResult updateDictionary(std::string_view devicePath, const std::function<bool(Dictionary&)>& change,
                              double lockTimeoutSeconds)
{
    return lockedUpdate(devicePath, lockTimeoutSeconds, [&](std::shared_ptr<const Value> current, UpdateResult& result) {
        Dictionary dictionary;
        if (current)
            dictionary = *current->asDictionary();
        if (!change(dictionary)) {
            result = UpdateResult::Unchanged;
            return std::shared_ptr<Value>();
        }
        if (current && dictionary == *current->asDictionary()) {
            result = UpdateResult::AlreadyCurrent;
            return std::shared_ptr<Value>();
        }
        return std::make_shared<Value>(std::move(dictionary));
    });
}

UpdateResult updateEntries(std::string_view devicePath, const Dictionary& entries, double lockTimeoutSeconds)
{
    return lockedUpdate(devicePath, lockTimeoutSeconds, [&](std::shared_ptr<const Value> current, UpdateResult& result) {
        if (current && std::all_of(entries.begin(), entries.end(), [&](const auto& entry) {
                const Value* held = find(*current->asDictionary(), entry.first);
                return held && *held == entry.second;
            })) {
            result = UpdateResult::AlreadyCurrent;
            return std::shared_ptr<Value>();
        }
        std::shared_ptr<Value> changed = current ? PropertyListCache::shared().takeOver(std::move(current))
                                                 : std::make_shared<Value>(Dictionary {});
        for (const auto& [key, value] : entries)
            changed->asDictionary()->insert_or_assign(key, value);
        return changed;
    });
}

} // namespace sv::plist
