#include "platform/foundation/plist/xml_writer.h"

#include "platform/foundation/plist/plist_checks.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>

namespace sv::plist {
namespace {

    enum ByteKind : std::uint8_t { Plain, Control, High, Markup };

    constexpr std::array<ByteKind, 256> kByteKinds = [] {
        std::array<ByteKind, 256> kinds {};
        for (int c = 0; c < 256; ++c)
            kinds[c] = c >= 0x80 ? High : c < 0x20 && c != '\t' && c != '\n' ? Control : Plain;
        kinds['&'] = kinds['<'] = kinds['>'] = Markup;
        return kinds;
    }();

    // The length of the well-formed UTF-8 sequence at p that is an XML character; 0 for anything
    // else (a stray or overlong byte, a surrogate, a cut sequence, U+FFFE or U+FFFF).
    std::size_t xmlCharacterLength(const unsigned char* p, const unsigned char* end)
    {
        unsigned char lead = p[0];
        auto [length, low, high] = utf8Lead(lead);
        if (length == 0 || static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high)
            return 0;
        for (std::size_t i = 2; i < length; ++i)
            if (p[i] < 0x80 || p[i] > 0xBF)
                return 0;
        if (lead == 0xEF && p[1] == 0xBF && (p[2] & 0xFE) == 0xBE)
            return 0;
        return length;
    }

    // What the last document came to; the next one is about as large (the same file saved again).
    std::atomic<std::size_t> lastSize { 0 };

    class Writer {
    public:
        // carriedOnly: give up on text that XML cannot carry instead of writing what libplist would.
        Writer(bool carriedOnly, int depthLimit) : carriedOnly_(carriedOnly), depthLimit_(depthLimit)
        {
            std::size_t last = lastSize.load(std::memory_order_relaxed);
            bytes_.resize(last ? last + last / 16 + 64 : 4096);
        }

        bool write(const Value& value, int depth)
        {
            if (depth >= depthLimit_)
                return false;
            indent(depth);
            if (const std::string* text = value.asString()) {
                put("<string>");
                if (!escaped(*text))
                    return false;
                put("</string>\n");
            } else if (const auto* number = std::get_if<std::int64_t>(&value.storage())) {
                char* at = room(40);
                std::memcpy(at, "<integer>", 9);
                char* end = std::to_chars(at + 9, at + 29, *number).ptr;
                std::memcpy(end, "</integer>\n", 11);
                used_ += static_cast<std::size_t>(end + 11 - at);
            } else if (const bool* flag = std::get_if<bool>(&value.storage())) {
                if (*flag)
                    put("<true/>\n");
                else
                    put("<false/>\n");
            } else if (const Array* array = value.asArray()) {
                return container(*array, depth, "<array/>\n", "<array>\n", "</array>\n",
                                 [&](const Value& element) { return write(element, depth + 1); });
            } else if (const Dictionary* dictionary = value.asDictionary()) {
                return container(*dictionary, depth, "<dict/>\n", "<dict>\n", "</dict>\n", [&](const auto& entry) {
                    const auto& [key, element] = entry;
                    indent(depth + 1);
                    put("<key>");
                    if (!escaped(key))
                        return false;
                    put("</key>\n");
                    return write(element, depth + 1);
                });
            } else {
                return false;
            }
            return true;
        }

        template <std::size_t N> void put(const char (&text)[N]) { append(text, N - 1); }

        // An array or a dictionary at depth: the empty tag alone, or each item written between
        // the open and the close tags.
        template <std::size_t E, std::size_t O, std::size_t C, typename Items, typename WriteItem>
        bool container(const Items& items, int depth, const char (&empty)[E], const char (&open)[O],
                       const char (&close)[C], WriteItem writeItem)
        {
            if (items.empty()) {
                put(empty);
                return true;
            }
            put(open);
            for (const auto& item : items)
                if (!writeItem(item))
                    return false;
            indent(depth);
            put(close);
            return true;
        }

        std::vector<std::uint8_t> finish()
        {
            bytes_.resize(used_);
            lastSize.store(used_, std::memory_order_relaxed);
            // A small document after a large one must not keep the large one's room.
            if (bytes_.capacity() > 2 * used_ + 4096)
                bytes_.shrink_to_fit();
            return std::move(bytes_);
        }

    private:
        char* room(std::size_t n)
        {
            if (bytes_.size() - used_ < n)
                bytes_.resize(std::max(bytes_.size() * 2, used_ + n));
            return reinterpret_cast<char*>(bytes_.data() + used_);
        }

        void append(const void* data, std::size_t n)
        {
            std::memcpy(room(n), data, n);
            used_ += n;
        }

        void indent(int depth)
        {
            auto n = static_cast<std::size_t>(depth);
            std::memset(room(n), '\t', n);
            used_ += n;
        }

        bool escaped(std::string_view text)
        {
            std::string wellFormed;
            if (!carriedOnly_) {
                // libplist holds text as C strings: it ends at a NUL.
                text = text.substr(0, text.find('\0'));
                // Text that is not ASCII is handed to libplist made well-formed, so here too.
                if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
                    wellFormed = wellFormedUtf8(text);
                    text = wellFormed;
                }
            }
            const auto* p = reinterpret_cast<const unsigned char*>(text.data());
            const auto* end = p + text.size();
            const auto* run = p;
            while (p < end) {
                switch (kByteKinds[*p]) {
                case Plain:
                    ++p;
                    break;
                case Control:
                    if (carriedOnly_)
                        return false;
                    ++p;
                    break;
                case High:
                    if (!carriedOnly_) {
                        ++p;
                    } else if (std::size_t length = xmlCharacterLength(p, end)) {
                        p += length;
                    } else {
                        return false;
                    }
                    break;
                case Markup:
                    append(run, static_cast<std::size_t>(p - run));
                    if (*p == '&')
                        put("&amp;");
                    else if (*p == '<')
                        put("&lt;");
                    else
                        put("&gt;");
                    run = ++p;
                    break;
                }
            }
            append(run, static_cast<std::size_t>(end - run));
            return true;
        }

        std::vector<std::uint8_t> bytes_;
        std::size_t used_ = 0;
        bool carriedOnly_;
        int depthLimit_;
    };

    std::optional<std::vector<std::uint8_t>> writeDocument(const Value& value, bool carriedOnly, int depthLimit)
    {
        Writer writer(carriedOnly, depthLimit);
        writer.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                   "<plist version=\"1.0\">\n");
        if (!writer.write(value, 0))
            return std::nullopt;
        writer.put("</plist>\n");
        return writer.finish();
    }

} // namespace

std::optional<std::vector<std::uint8_t>> writeXmlQuickly(const Value& value)
{
    return writeDocument(value, false, INT_MAX);
}

std::optional<std::vector<std::uint8_t>> writeCarriedXml(const Value& value, int depthLimit)
{
    return writeDocument(value, true, depthLimit);
}

} // namespace sv::plist
