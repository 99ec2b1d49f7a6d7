#pragma once
// A property-list value: dictionary, array, string, integer, real, boolean, data or date.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sv {

class Value;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value, std::less<>>;

struct Data {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const Data&, const Data&) = default;
};

struct Date {
    double secondsSince2001 = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

class Value {
public:
    using Storage = std::variant<std::string, std::int64_t, double, bool, Data, Date, Array, Dictionary>;

    Value() : storage_(Dictionary {}) { }
    Value(std::string text) : storage_(std::move(text)) { }
    Value(std::string_view text) : storage_(std::string(text)) { }
    Value(const char* text) : storage_(std::string(text)) { }
    Value(std::int64_t number) : storage_(number) { }
    Value(int number) : storage_(std::int64_t { number }) { }
    Value(double number) : storage_(number) { }
    Value(bool flag) : storage_(flag) { }
    Value(Data data) : storage_(std::move(data)) { }
    Value(Date date) : storage_(date) { }
    Value(Array array) : storage_(std::move(array)) { }
    Value(Dictionary dictionary) : storage_(std::move(dictionary)) { }

    const Storage& storage() const { return storage_; }

    const std::string* asString() const { return std::get_if<std::string>(&storage_); }
    const Array* asArray() const { return std::get_if<Array>(&storage_); }
    Array* asArray() { return std::get_if<Array>(&storage_); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&storage_); }
    Dictionary* asDictionary() { return std::get_if<Dictionary>(&storage_); }

    // The numeric value of an integer, real or boolean; nothing for other types.
    std::optional<std::int64_t> integerValue() const;
    // The truth of a boolean or a number; nothing for other types.
    std::optional<bool> boolValue() const;

    friend bool operator==(const Value&, const Value&);

private:
    Storage storage_;
};

// Typed look-ups that answer nothing (or the given default) for a missing key or a value of
// another type.
const Value* find(const Dictionary& dictionary, std::string_view key);
const std::string* findString(const Dictionary& dictionary, std::string_view key);
const Array* findArray(const Dictionary& dictionary, std::string_view key);
const Dictionary* findDictionary(const Dictionary& dictionary, std::string_view key);
std::optional<std::int64_t> findInteger(const Dictionary& dictionary, std::string_view key);
bool findBool(const Dictionary& dictionary, std::string_view key, bool fallback = false);

} // namespace sv
