#include "platform/ui/string_drawing.h"

#include "platform/ui/graphics_context.h"
#include "platform/ui/pango_text.h"

#include <algorithm>
#include <cstdint>
#include <cmath>

namespace sv::ui {
namespace {
    constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

    // Length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one.
    std::size_t sequenceLength(std::string_view text, std::size_t i)
    {
        auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        unsigned char lead = byte(i);
        std::size_t length;
        std::uint32_t minimum;
        if (lead < 0x80)
            return 1;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            minimum = 0x10000;
        } else {
            return 0;
        }
        if (i + length > text.size())
            return 0;
        std::uint32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return 0;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return 0;
        return length;
    }

    // The text with the graphemes in [front, back) of bounds replaced by an ellipsis.
    std::string elided(std::string_view text, const std::vector<std::size_t>& bounds, std::size_t front, std::size_t back)
    {
        return std::string(text.substr(0, bounds[front])) + std::string(kEllipsis) + std::string(text.substr(bounds[back]));
    }

    // Cut where the mode says, in the logical order of the text (the end of a right-to-left
    // name is its left side once drawn), keeping whole graphemes and as many as fit beside the
    // ellipsis. Widths grow with the graphemes kept, so the count is searched by halves.
    std::string truncate(std::string_view text, const UIFont& font, float width, LineBreakMode mode)
    {
        if (width <= 0 || font.widthOfText(text) <= width)
            return std::string(text);
        auto bounds = detail::graphemeBoundaries(text);
        std::size_t graphemes = bounds.size() - 1;
        auto candidate = [&](std::size_t keep) {
            if (mode == LineBreakMode::HeadTruncation)
                return elided(text, bounds, 0, graphemes - keep);
            if (mode == LineBreakMode::MiddleTruncation) {
                std::size_t front = (keep + 1) / 2;
                return elided(text, bounds, front, graphemes - (keep - front));
            }
            return elided(text, bounds, keep, graphemes);
        };
        std::size_t fits = 0, over = graphemes; // candidate(fits) is drawn even when too wide
        while (over - fits > 1) {
            std::size_t middle = fits + (over - fits) / 2;
            if (font.widthOfText(candidate(middle)) <= width)
                fits = middle;
            else
                over = middle;
        }
        return candidate(fits);
    }

    std::string_view trimmedEnd(std::string_view line)
    {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        return line;
    }

    void wrapParagraph(std::string_view paragraph, const UIFont& font, float width, bool atWords,
                       std::vector<TextLine>& lines)
    {
        for (const auto& wrapped : detail::wrapParagraph(paragraph, font, width, atWords)) {
            std::string_view line = trimmedEnd(paragraph.substr(wrapped.start, wrapped.length));
            lines.push_back({ std::string(line), font.widthOfText(line) });
        }
    }
}

std::string sanitizedUtf8(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = sequenceLength(text, i);
        if (length == 0 || text[i] == '\0') {
            clean += text[i] == '\0' ? std::string_view(" ") : std::string_view("\xEF\xBF\xBD");
            ++i;
        } else {
            clean.append(text.substr(i, length));
            i += length;
        }
    }
    return clean;
}

std::vector<TextLine> layoutText(std::string_view rawText, const UIFont& font, float width, float height,
                                 LineBreakMode mode)
{
    std::string text = sanitizedUtf8(rawText);
    bool wraps = (mode == LineBreakMode::WordWrap || mode == LineBreakMode::CharacterWrap) && width > 0;
    std::vector<TextLine> lines;
    std::string_view rest = text;
    while (true) {
        auto newline = rest.find('\n');
        std::string_view paragraph = rest.substr(0, newline);
        if (wraps) {
            wrapParagraph(paragraph, font, width, mode == LineBreakMode::WordWrap, lines);
        } else {
            std::string line = mode == LineBreakMode::Clip ? std::string(paragraph) : truncate(paragraph, font, width, mode);
            float lineWidth = font.widthOfText(line);
            lines.push_back({ std::move(line), lineWidth });
        }
        if (newline == std::string_view::npos)
            break;
        rest.remove_prefix(newline + 1);
    }
    float lineHeight = font.lineHeight();
    if (height > 0 && lineHeight > 0) {
        auto fitting = static_cast<std::size_t>(std::max(1.0f, std::floor(height / lineHeight + 0.001f)));
        if (lines.size() > fitting) {
            lines.resize(fitting);
            if (mode == LineBreakMode::TailTruncation || mode == LineBreakMode::WordWrap) {
                TextLine& last = lines.back();
                last.text = truncate(last.text + std::string(kEllipsis), font, width, LineBreakMode::TailTruncation);
                last.width = font.widthOfText(last.text);
            }
        }
    }
    return lines;
}

std::string_view firstGrapheme(std::string_view text)
{
    // A grapheme longer than this is no initial anyone reads; the valid prefix is enough.
    std::string_view head = text.substr(0, 256);
    std::size_t valid = 0;
    while (valid < head.size()) {
        std::size_t length = sequenceLength(head, valid);
        if (length == 0)
            break;
        valid += length;
    }
    if (valid == 0)
        return text.substr(0, text.empty() ? 0 : 1);
    auto bounds = detail::graphemeBoundaries(head.substr(0, valid));
    return text.substr(0, bounds.size() > 1 ? bounds[1] : valid);
}

Size sizeWithFont(std::string_view text, const UIFont& font)
{
    return { std::ceil(font.widthOfText(sanitizedUtf8(text))), std::ceil(font.lineHeight()) };
}

Size sizeWithFont(std::string_view text, const UIFont& font, Size constraint, LineBreakMode mode)
{
    auto lines = layoutText(text, font, constraint.width, constraint.height, mode);
    float widest = 0;
    for (const auto& line : lines)
        widest = std::max(widest, line.width);
    if (constraint.width > 0)
        widest = std::min(widest, constraint.width);
    return { std::ceil(widest), std::ceil(font.lineHeight() * static_cast<float>(lines.size())) };
}

Size drawInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode, TextAlignment alignment)
{
    return callCurrentContext(&GraphicsContext::drawTextInRect, text, rect, font, mode, alignment);
}

Size drawAtPoint(std::string_view text, Point point, float width, const UIFont& font, LineBreakMode mode)
{
    return callCurrentContext(&GraphicsContext::drawTextAtPoint, text, point, width, font, mode);
}

} // namespace sv::ui
