#include "platform/foundation/string_case.h"

#include <cctype>
#include <locale.h>
#include <wctype.h>

namespace sv {
namespace {
    struct CaseTables {
        locale_t locale = static_cast<locale_t>(nullptr);
        wctrans_t title = nullptr;

        CaseTables()
        {
            locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
            if (locale)
                title = wctrans_l("totitle", locale);
        }
        ~CaseTables()
        {
            if (locale)
                freelocale(locale);
        }

        char32_t toTitle(char32_t c) const
        {
            if (locale && title)
                return static_cast<char32_t>(towctrans_l(static_cast<wint_t>(c), title, locale));
            return c < 0x80 ? static_cast<char32_t>(std::toupper(static_cast<int>(c))) : c;
        }
        bool isSpace(char32_t c) const
        {
            if (c < 0x80)
                return std::isspace(static_cast<int>(c)) != 0;
            return locale && iswspace_l(static_cast<wint_t>(c), locale) != 0;
        }
        char32_t toLower(char32_t c) const
        {
            if (locale)
                return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
            return c < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(c))) : c;
        }
    };

    const CaseTables& tables()
    {
        static const CaseTables shared;
        return shared;
    }

    // Decodes one code point at text[at]; answers its length, 0 for an invalid sequence.
    std::size_t decode(std::string_view text, std::size_t at, char32_t& out)
    {
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        unsigned char lead = byte(at);
        std::size_t length;
        char32_t c;
        if (lead < 0x80)
            return out = lead, 1;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, c = lead & 0x1F;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, c = lead & 0x0F;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, c = lead & 0x07;
        else
            return 0;
        if (text.size() - at < length)
            return 0;
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte(at + i) & 0xC0) != 0x80)
                return 0;
            c = (c << 6) | (byte(at + i) & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are not characters.
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
            return 0;
        out = c;
        return length;
    }

    void encode(char32_t c, std::string& out)
    {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

std::string capitalizedString(std::string_view text)
{
    const CaseTables& t = tables();
    std::string out;
    out.reserve(text.size());
    bool wordStart = true;
    for (std::size_t at = 0; at < text.size();) {
        char32_t c;
        std::size_t length = decode(text, at, c);
        if (length == 0) {
            out += text[at++];
            wordStart = false;
            continue;
        }
        at += length;
        bool space = t.isSpace(c);
        encode(space ? c : (wordStart ? t.toTitle(c) : t.toLower(c)), out);
        wordStart = space;
    }
    return out;
}

std::string_view firstCharacter(std::string_view text)
{
    if (text.empty())
        return {};
    char32_t c;
    std::size_t length = decode(text, 0, c);
    return text.substr(0, length == 0 ? 1 : length);
}

} // namespace sv
