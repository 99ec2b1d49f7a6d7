#include "platform/foundation/xml_writer.h"

#include "platform/foundation/plist_checks.h"

#include <algorithm>
#include "platform/foundation/plist_checks.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace sv::plist {
namespace {

    class Writer {
    public:
        bool write(const Value& value, int depth)
        {
            indent(depth);
            if (const std::string* text = value.asString()) {
                put("<string>");
                escaped(*text);
                put("</string>\n");
            } else if (const auto* number = std::get_if<std::int64_t>(&value.storage())) {
                char digits[24];
                auto end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
                put("<integer>");
                put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
                put("</integer>\n");
            } else if (const bool* flag = std::get_if<bool>(&value.storage())) {
                put(*flag ? "<true/>\n" : "<false/>\n");
            } else if (const Array* array = value.asArray()) {
                if (array->empty()) {
                    put("<array/>\n");
                    return true;
                }
                put("<array>\n");
                for (const Value& element : *array)
                    if (!write(element, depth + 1))
                        return false;
                indent(depth);
                put("</array>\n");
            } else if (const Dictionary* dictionary = value.asDictionary()) {
                if (dictionary->empty()) {
                    put("<dict/>\n");
                    return true;
                }
                put("<dict>\n");
                for (const auto& [key, element] : *dictionary) {
                    indent(depth + 1);
                    put("<key>");
                    escaped(key);
                    put("</key>\n");
                    if (!write(element, depth + 1))
                        return false;
                }
                indent(depth);
                put("</dict>\n");
            } else {
                return false;
            }
            return true;
        }

        void put(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

        std::vector<std::uint8_t> bytes;
        bool exact = true;

    private:
        void indent(int depth) { bytes.insert(bytes.end(), static_cast<std::size_t>(depth), '\t'); }

        void escaped(std::string_view text)
        {
            // libplist holds text as C strings: it ends at a NUL.
            if (text.find('\0') != std::string_view::npos) {
                exact = false;
                text = text.substr(0, text.find('\0'));
            }
            // Text that is not ASCII is handed to libplist made well-formed, so here too.
            std::string wellFormed;
            if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
                wellFormed = wellFormedUtf8(text);
                exact = exact && wellFormed == text;
                text = wellFormed;
            }
            std::size_t from = 0;
            for (std::size_t i = 0; i < text.size(); ++i) {
                const char* entity = text[i] == '&' ? "&amp;" : text[i] == '<' ? "&lt;" : text[i] == '>' ? "&gt;" : nullptr;
                if (!entity)
                    continue;
                put(text.substr(from, i - from));
                put(entity);
                from = i + 1;
            }
            put(text.substr(from));
        }
    };

} // namespace

std::optional<std::vector<std::uint8_t>> writeXmlQuickly(const Value& value, bool* exact)
{
    Writer writer;
    writer.bytes.reserve(4096);
    writer.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n");
    if (!writer.write(value, 0))
        return std::nullopt;
    writer.put("</plist>\n");
    if (exact)
        *exact = writer.exact;
    return std::move(writer.bytes);
}

} // namespace sv::plist
