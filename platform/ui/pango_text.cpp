#include "platform/ui/pango_text.h"

#include "platform/ui/string_drawing.h"

#include <pango/pangocairo.h>

#include <climits>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace sv::ui::detail {
namespace {

    using FontKey = std::pair<UIFont::Weight, float>;

    struct Engine {
        std::mutex lock;
        PangoFontMap* fontMap = nullptr;
        PangoContext* context = nullptr;
        PangoLayout* layout = nullptr; // one line at a time, its text and font set per use
        std::map<FontKey, PangoFontDescription*> descriptions;
        std::map<FontKey, FontMetrics> metrics;
        // Short lines shaped before, by font and text: icon initials and the names in rows come
        // back again and again, and shaping is most of what drawing them costs.
        std::unordered_map<std::string, PangoLayout*> shaped;
    };

    constexpr std::size_t kLongestKeptLine = 128; // bytes
    constexpr std::size_t kKeptLines = 512;

    // Kept for the life of the process (and reachable, so leak checkers stay quiet).
    Engine& engine()
    {
        static Engine* shared = [] {
            auto* e = new Engine;
            e->fontMap = pango_cairo_font_map_new();
            e->context = pango_font_map_create_context(e->fontMap);
            // No hinting and unrounded positions: widths grow in proportion to the size, and
            // what is measured is what is drawn at any scale.
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
            cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
            pango_cairo_context_set_font_options(e->context, options);
            cairo_font_options_destroy(options);
            pango_context_set_round_glyph_positions(e->context, FALSE);
            // The same fallback choices whatever the locale of the process.
            pango_context_set_language(e->context, pango_language_from_string("en"));
            pango_context_set_base_dir(e->context, PANGO_DIRECTION_WEAK_LTR);
            e->layout = pango_layout_new(e->context);
            pango_layout_set_single_paragraph_mode(e->layout, TRUE);
            pango_layout_set_auto_dir(e->layout, TRUE);
            return e;
        }();
        return *shared;
    }

    const PangoFontDescription* description(Engine& e, const UIFont& font)
    {
        FontKey key { font.weight(), font.pointSize() };
        auto found = e.descriptions.find(key);
        if (found != e.descriptions.end())
            return found->second;
        PangoFontDescription* d = pango_font_description_new();
        pango_font_description_set_family_static(d, "DejaVu Sans");
        pango_font_description_set_weight(d, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_absolute_size(d, static_cast<double>(font.pointSize()) * PANGO_SCALE);
        e.descriptions.emplace(key, d);
        return d;
    }

    int byteCount(std::string_view text)
    {
        return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    }

    void setText(PangoLayout* layout, std::string_view text)
    {
        // Pango takes only valid UTF-8 without NUL: anything else is cleaned first.
        if (g_utf8_validate(text.data(), byteCount(text), nullptr)) {
            pango_layout_set_text(layout, text.data(), byteCount(text));
        } else {
            std::string clean = sanitizedUtf8(text);
            pango_layout_set_text(layout, clean.data(), byteCount(clean));
        }
    }

    // The shared layout holding text on one unbounded line; the caller holds the lock.
    PangoLayout* lineLayout(Engine& e, std::string_view text, const UIFont& font)
    {
        pango_layout_set_font_description(e.layout, description(e, font));
        pango_layout_set_width(e.layout, -1);
        setText(e.layout, text);
        return e.layout;
    }

    // Text shaped on one line, kept when it is short; the caller holds the lock and must not
    // keep the layout past it.
    PangoLayout* shapedLine(Engine& e, std::string_view text, const UIFont& font)
    {
        if (text.size() > kLongestKeptLine)
            return lineLayout(e, text, font);
        std::string key;
        key.reserve(text.size() + 1 + sizeof(float));
        key += font.isBold() ? 'b' : 'r';
        float size = font.pointSize();
        key.append(reinterpret_cast<const char*>(&size), sizeof size);
        key.append(text);
        if (auto found = e.shaped.find(key); found != e.shaped.end())
            return found->second;
        if (e.shaped.size() >= kKeptLines) {
            // Forgotten all at once: simpler than ageing, and a screenful is shaped again quickly.
            for (auto& [_, layout] : e.shaped)
                g_object_unref(layout);
            e.shaped.clear();
        }
        PangoLayout* layout = pango_layout_new(e.context);
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        pango_layout_set_auto_dir(layout, TRUE);
        pango_layout_set_font_description(layout, description(e, font));
        setText(layout, text);
        e.shaped.emplace(std::move(key), layout);
        return layout;
    }

    float points(int pangoUnits)
    {
        return static_cast<float>(pangoUnits) / PANGO_SCALE;
    }

} // namespace

FontMetrics fontMetrics(const UIFont& font)
{
    Engine& e = engine();
    std::lock_guard guard(e.lock);
    FontKey key { font.weight(), font.pointSize() };
    auto found = e.metrics.find(key);
    if (found != e.metrics.end())
        return found->second;
    FontMetrics result;
    if (PangoFont* loaded = pango_context_load_font(e.context, description(e, font))) {
        PangoFontMetrics* m = pango_font_get_metrics(loaded, nullptr);
        result = { points(pango_font_metrics_get_ascent(m)), points(pango_font_metrics_get_descent(m)) };
        pango_font_metrics_unref(m);
        g_object_unref(loaded);
    }
    e.metrics.emplace(key, result);
    return result;
}

float shapedWidth(std::string_view text, const UIFont& font)
{
    if (text.empty() || !(font.pointSize() > 0))
        return 0;
    Engine& e = engine();
    std::lock_guard guard(e.lock);
    PangoRectangle logical;
    pango_layout_get_extents(shapedLine(e, text, font), nullptr, &logical);
    return points(logical.width);
}

void showShapedLine(cairo_t* cr, std::string_view text, const UIFont& font, double x, double baseline)
{
    if (text.empty() || !(font.pointSize() > 0))
        return;
    Engine& e = engine();
    std::lock_guard guard(e.lock);
    PangoLayout* layout = shapedLine(e, text, font);
    // The line's own baseline: a fallback font with a taller ascent moves no text down.
    cairo_move_to(cr, x, baseline);
    pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout, 0));
    cairo_new_path(cr);
}

std::vector<WrappedLine> wrapParagraph(std::string_view paragraph, const UIFont& font, float width, bool atWords)
{
    std::vector<WrappedLine> lines;
    if (paragraph.empty() || !(width > 0)) {
        lines.push_back({ 0, paragraph.size() });
        return lines;
    }
    Engine& e = engine();
    std::lock_guard guard(e.lock);
    PangoLayout* layout = lineLayout(e, paragraph, font);
    pango_layout_set_wrap(layout, atWords ? PANGO_WRAP_WORD_CHAR : PANGO_WRAP_CHAR);
    pango_layout_set_width(layout, static_cast<int>(std::lround(std::min(width, 1e6f) * PANGO_SCALE)));
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
        auto* line = static_cast<PangoLayoutLine*>(l->data);
        lines.push_back({ static_cast<std::size_t>(line->start_index), static_cast<std::size_t>(line->length) });
    }
    pango_layout_set_width(layout, -1);
    if (lines.empty())
        lines.push_back({ 0, paragraph.size() });
    return lines;
}

std::vector<std::size_t> graphemeBoundaries(std::string_view text)
{
    std::vector<std::size_t> bounds;
    if (text.empty()) {
        bounds.push_back(0);
        return bounds;
    }
    int length = byteCount(text);
    if (!g_utf8_validate(text.data(), length, nullptr)) {
        // Not valid UTF-8: every byte stands alone.
        for (std::size_t i = 0; i <= text.size(); ++i)
            bounds.push_back(i);
        return bounds;
    }
    glong characters = g_utf8_strlen(text.data(), length);
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
    pango_get_log_attrs(text.data(), length, -1, pango_language_from_string("en"), attrs.data(),
                        static_cast<int>(attrs.size()));
    const char* at = text.data();
    for (glong c = 0; c < characters; ++c) {
        if (attrs[static_cast<std::size_t>(c)].is_cursor_position || c == 0)
            bounds.push_back(static_cast<std::size_t>(at - text.data()));
        at = g_utf8_next_char(at);
    }
    bounds.push_back(text.size());
    return bounds;
}

} // namespace sv::ui::detail
