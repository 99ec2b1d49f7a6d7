#include "playback/printable.h"

#include <cstdio>

namespace replay {
namespace {

    // The length of the well-formed UTF-8 sequence at the start of text (RFC 3629: no overlong
    // form, no surrogate, nothing above U+10FFFF) and its code point; 0 for a byte that starts none.
    std::size_t sequence(std::string_view text, char32_t& point)
    {
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        unsigned char lead = byte(0);
        if (lead < 0x80) {
            point = lead;
            return 1;
        }
        std::size_t length = lead >= 0xc2 && lead <= 0xdf ? 2 : lead >= 0xe0 && lead <= 0xef ? 3
            : lead >= 0xf0 && lead <= 0xf4                  ? 4
                                                            : 0;
        if (length == 0 || text.size() < length)
            return 0;
        point = lead & (0x7f >> length);
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte(i) & 0xc0) != 0x80)
                return 0;
            point = (point << 6) | (byte(i) & 0x3f);
        }
        bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
        if (overlong || (point >= 0xd800 && point <= 0xdfff) || point > 0x10ffff)
            return 0;
        return length;
    }

    bool invisible(char32_t c)
    {
        return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0xfeff
            || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
    }

} // namespace

std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    char escape[12];
    while (!text.empty()) {
        char32_t point = 0;
        std::size_t length = sequence(text, point);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[0]));
            out += escape;
            length = 1;
        } else if (point == '\\') {
            out += "\\\\";
        } else if (invisible(point)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(point));
            out += escape;
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (char c : printable(text)) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

} // namespace replay
