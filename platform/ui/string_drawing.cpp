#include "platform/ui/string_drawing.h"

#include "platform/ui/graphics_context.h"

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

    // Start offsets of the characters of valid UTF-8 text, plus its end.
    std::vector<std::size_t> characterBoundaries(std::string_view text)
    {
        std::vector<std::size_t> bounds;
        for (std::size_t i = 0; i < text.size(); i += std::max<std::size_t>(1, sequenceLength(text, i)))
            bounds.push_back(i);
        bounds.push_back(text.size());
        return bounds;
    }

    std::string truncate(std::string_view text, const UIFont& font, float width, LineBreakMode mode)
    {
        if (width <= 0 || font.widthOfText(text) <= width)
            return std::string(text);
        auto bounds = characterBoundaries(text);
        std::size_t characters = bounds.size() - 1;
        // Keep as many characters as fit beside the ellipsis, dropping them where the mode says.
        for (std::size_t keep = characters; keep-- > 0;) {
            std::string candidate;
            if (mode == LineBreakMode::HeadTruncation) {
                candidate = std::string(kEllipsis) + std::string(text.substr(bounds[characters - keep]));
            } else if (mode == LineBreakMode::MiddleTruncation) {
                std::size_t front = (keep + 1) / 2, back = keep - front;
                candidate = std::string(text.substr(0, bounds[front])) + std::string(kEllipsis)
                    + std::string(text.substr(bounds[characters - back]));
            } else {
                candidate = std::string(text.substr(0, bounds[keep])) + std::string(kEllipsis);
            }
            if (font.widthOfText(candidate) <= width || keep == 0)
                return candidate;
        }
        return std::string(kEllipsis);
    }

    void wrapParagraph(std::string_view paragraph, const UIFont& font, float width, bool atWords,
                       std::vector<TextLine>& lines)
    {
        if (paragraph.empty()) {
            lines.push_back({});
            return;
        }
        auto bounds = characterBoundaries(paragraph);
        std::size_t start = 0; // byte offset of the current line
        std::size_t lastBreak = std::string_view::npos; // byte offset after the last space
        for (std::size_t c = 0; c + 1 < bounds.size(); ++c) {
            std::size_t end = bounds[c + 1];
            if (paragraph[bounds[c]] == ' ' && atWords) {
                lastBreak = end;
                continue;
            }
            if (font.widthOfText(paragraph.substr(start, end - start)) <= width || bounds[c] == start)
                continue;
            // This character overflows: break after the last space, or before the character.
            std::size_t breakAt = (lastBreak != std::string_view::npos && lastBreak > start) ? lastBreak : bounds[c];
            std::string_view line = paragraph.substr(start, breakAt - start);
            while (!line.empty() && line.back() == ' ')
                line.remove_suffix(1);
            lines.push_back({ std::string(line), font.widthOfText(line) });
            start = breakAt;
            lastBreak = std::string_view::npos;
        }
        std::string_view rest = paragraph.substr(start);
        while (!rest.empty() && rest.back() == ' ')
            rest.remove_suffix(1);
        lines.push_back({ std::string(rest), font.widthOfText(rest) });
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
    GraphicsContext* context = UIGraphicsGetCurrentContext();
    return context ? context->drawTextInRect(text, rect, font, mode, alignment) : Size {};
}

Size drawAtPoint(std::string_view text, Point point, float width, const UIFont& font, LineBreakMode mode)
{
    GraphicsContext* context = UIGraphicsGetCurrentContext();
    return context ? context->drawTextAtPoint(text, point, width, font, mode) : Size {};
}

} // namespace sv::ui
