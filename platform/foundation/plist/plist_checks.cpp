#include "platform/foundation/plist/plist_checks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace sv::plist {
namespace {
std::uint64_t readBigEndian(const std::uint8_t* p, unsigned width)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}
} // namespace

// libplist recurses while parsing and freeing; refuse deep nesting before handing it
// anything. Every element counts, whatever follows its name (a newline before ">" included);
// only what the parser cannot take for an element is skipped, so the count errs high.
bool xmlDepthWithin(const std::uint8_t* bytes, std::size_t size, int limit)
{
    auto startsWith = [&](std::size_t at, std::string_view text) {
        return size - at >= text.size() && std::memcmp(bytes + at, text.data(), text.size()) == 0;
    };
    auto skipPast = [&](std::size_t at, std::string_view end) {
        for (; at < size; ++at)
            if (startsWith(at, end))
                return at + end.size();
        return size;
    };
    int depth = 0;
    for (std::size_t i = 0; i < size;) {
        if (bytes[i] != '<') {
            ++i;
        } else if (startsWith(i, "<!--")) {
            i = skipPast(i + 4, "-->");
        } else if (startsWith(i, "<![CDATA[")) {
            i = skipPast(i + 9, "]]>");
        } else if (startsWith(i, "<?") || startsWith(i, "<!")) {
            i = skipPast(i + 2, ">");
        } else if (startsWith(i, "</")) {
            if (--depth < 0)
                return false;
            i += 2;
        } else {
            // Self-closing only when no reading of the tag could make it an opening one.
            std::size_t end = i + 1;
            bool quoted = false;
            for (; end < size && bytes[end] != '>' && bytes[end] != '<'; ++end)
                quoted = quoted || bytes[end] == '"' || bytes[end] == '\'';
            bool selfClosing = end < size && bytes[end] == '>' && bytes[end - 1] == '/' && !quoted;
            if (!selfClosing && ++depth > limit)
                return false;
            i = end;
        }
    }
    return true;
}

// Walks the object graph of a binary list without recursion and checks its depth, and that
// every dictionary key is a string without a NUL (libplist aborts on one).
bool binaryDepthWithin(const std::uint8_t* bytes, std::size_t size, int limit)
{
    if (size < 8 + 32)
        return false;
    const std::uint8_t* trailer = bytes + size - 32;
    unsigned offsetSize = trailer[6];
    unsigned refSize = trailer[7];
    std::uint64_t count = readBigEndian(trailer + 8, 8);
    std::uint64_t top = readBigEndian(trailer + 16, 8);
    std::uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 || top >= count
        || tableOffset >= size || count > (size - tableOffset) / offsetSize)
        return false;
    auto offsetOf = [&](std::uint64_t index) {
        return readBigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
    };
    struct Item {
        std::uint64_t index;
        int depth;
        bool key;
    };
    std::vector<Item> stack { { top, 1, false } };
    std::uint64_t visits = 0;
    while (!stack.empty()) {
        Item item = stack.back();
        stack.pop_back();
        if (item.index >= count || item.depth > limit || ++visits > 4 * count + 16)
            return false;
        std::uint64_t at = offsetOf(item.index);
        if (at >= tableOffset)
            return false;
        std::uint8_t marker = bytes[at];
        unsigned kind = marker >> 4;
        bool text = kind == 0x5 || kind == 0x6 || kind == 0x7;
        if (item.key && !text)
            return false;
        if (!item.key && kind != 0xA && kind != 0xC && kind != 0xD)
            continue;
        std::uint64_t length = marker & 0x0F;
        std::uint64_t body = at + 1;
        if (length == 0x0F) {
            if (body >= tableOffset || (bytes[body] >> 4) != 0x1)
                return false;
            unsigned width = 1u << (bytes[body] & 0x3);
            if (width > 8 || body + 1 + width > tableOffset)
                return false;
            length = readBigEndian(bytes + body + 1, width);
            body += 1 + width;
        }
        if (length > tableOffset)
            return false;
        if (item.key) {
            std::uint64_t unit = kind == 0x6 ? 2 : 1;
            if (body + length * unit > tableOffset)
                return false;
            for (std::uint64_t i = 0; i < length; ++i)
                if (bytes[body + i * unit] == 0 && bytes[body + i * unit + unit - 1] == 0)
                    return false;
            continue;
        }
        std::uint64_t refCount = kind == 0xD ? length * 2 : length;
        if (body + refCount * refSize > tableOffset)
            return false;
        for (std::uint64_t r = 0; r < refCount; ++r)
            stack.push_back({ readBigEndian(bytes + body + r * refSize, refSize), item.depth + 1, kind == 0xD && r < length });
    }
    return true;
}


std::string wellFormedUtf8(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char lead = p[i];
        if (lead < 0x80) {
            result.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        auto [length, low, high] = utf8Lead(lead);
        std::size_t good = length ? 1 : 0;
        if (length && i + 1 < n && p[i + 1] >= low && p[i + 1] <= high) {
            good = 2;
            while (good < length && i + good < n && p[i + good] >= 0x80 && p[i + good] <= 0xBF)
                ++good;
        }
        if (length && good == length) {
            result.append(text.substr(i, length));
            i += length;
        } else {
            result.append("\xEF\xBF\xBD");
            i += std::max<std::size_t>(good, 1);
        }
    }
    return result;
}

int depthOf(const Value& value, int limit)
{
    if (limit < 0)
        return 1;
    int deepest = 0;
    if (const Array* array = value.asArray()) {
        for (const Value& element : *array)
            deepest = std::max(deepest, depthOf(element, limit - 1));
    } else if (const Dictionary* dictionary = value.asDictionary()) {
        for (const auto& [key, element] : *dictionary)
            deepest = std::max(deepest, depthOf(element, limit - 1));
    }
    return deepest + 1;
}

namespace {
    bool xmlCarriesText(std::string_view text)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 && c != '\t' && c != '\n')
                return false;
            // U+FFFE and U+FFFF are not XML characters.
            if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF
                && (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
                return false;
        }
        return wellFormedUtf8(text) == text;
    }
}

bool xmlCarries(const Value& value)
{
    if (const std::string* text = value.asString())
        return xmlCarriesText(*text);
    if (const Array* array = value.asArray()) {
        for (const Value& element : *array)
            if (!xmlCarries(element))
                return false;
    } else if (const Dictionary* dictionary = value.asDictionary()) {
        for (const auto& [key, element] : *dictionary)
            if (!xmlCarriesText(key) || !xmlCarries(element))
                return false;
    }
    return true;
}

} // namespace sv::plist
