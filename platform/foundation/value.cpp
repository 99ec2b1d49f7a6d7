#include "platform/foundation/value.h"

#include <cmath>
#include <limits>

namespace sv {

std::optional<std::int64_t> Value::integerValue() const
{
    if (auto* i = std::get_if<std::int64_t>(&storage_))
        return *i;
    if (auto* b = std::get_if<bool>(&storage_))
        return *b ? 1 : 0;
    if (auto* d = std::get_if<double>(&storage_)) {
        // Out-of-range and NaN reals have no integer value worth trusting.
        if (!std::isfinite(*d) || std::fabs(*d) >= 9.2e18)
            return std::nullopt;
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::optional<bool> Value::boolValue() const
{
    if (auto* b = std::get_if<bool>(&storage_))
        return *b;
    if (auto* i = std::get_if<std::int64_t>(&storage_))
        return *i != 0;
    if (auto* d = std::get_if<double>(&storage_))
        return *d != 0;
    return std::nullopt;
}

bool operator==(const Value& a, const Value& b)
{
    return a.storage_ == b.storage_;
}

const Value* find(const Dictionary& dictionary, std::string_view key)
{
    auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : &found->second;
}

const std::string* findString(const Dictionary& dictionary, std::string_view key)
{
    const Value* value = find(dictionary, key);
    return value ? value->asString() : nullptr;
}

const Array* findArray(const Dictionary& dictionary, std::string_view key)
{
    const Value* value = find(dictionary, key);
    return value ? value->asArray() : nullptr;
}

const Dictionary* findDictionary(const Dictionary& dictionary, std::string_view key)
{
    const Value* value = find(dictionary, key);
    return value ? value->asDictionary() : nullptr;
}

std::optional<std::int64_t> findInteger(const Dictionary& dictionary, std::string_view key)
{
    const Value* value = find(dictionary, key);
    return value ? value->integerValue() : std::nullopt;
}

bool findBool(const Dictionary& dictionary, std::string_view key, bool fallback)
{
    const Value* value = find(dictionary, key);
    if (!value)
        return fallback;
    return value->boolValue().value_or(fallback);
}

} // namespace sv
