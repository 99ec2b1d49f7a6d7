#include "platform/ui/font.h"

#include "platform/ui/cairo_font.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace sv::ui {
namespace detail {
    namespace {
        std::string regularFontPath()
        {
            std::string bold = SV_FONT_PATH;
            auto slash = bold.rfind('/');
            return bold.substr(0, slash == std::string::npos ? 0 : slash + 1) + "DejaVuSans.ttf";
        }

        struct Fonts {
            FT_Library library = nullptr;
            std::map<UIFont::Weight, cairo_font_face_t*> faces;
            std::map<std::pair<UIFont::Weight, float>, cairo_scaled_font_t*> scaled;
            cairo_font_options_t* options = nullptr;
        };

        // Kept for the life of the process (and reachable, so leak checkers stay quiet).
        Fonts& fonts()
        {
            static Fonts* shared = [] {
                auto* f = new Fonts;
                if (FT_Init_FreeType(&f->library) != 0)
                    f->library = nullptr;
                f->options = cairo_font_options_create();
                cairo_font_options_set_hint_style(f->options, CAIRO_HINT_STYLE_NONE);
                cairo_font_options_set_hint_metrics(f->options, CAIRO_HINT_METRICS_OFF);
                cairo_font_options_set_antialias(f->options, CAIRO_ANTIALIAS_GRAY);
                return f;
            }();
            return *shared;
        }

        cairo_font_face_t* loadFace(UIFont::Weight weight)
        {
            Fonts& f = fonts();
            std::string path = weight == UIFont::Weight::Bold ? std::string(SV_FONT_PATH) : regularFontPath();
            FT_Face face = nullptr;
            if (f.library && FT_New_Face(f.library, path.c_str(), 0, &face) == 0) {
                cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
                if (cairo_font_face_status(cairoFace) == CAIRO_STATUS_SUCCESS)
                    return cairoFace;
                cairo_font_face_destroy(cairoFace);
                FT_Done_Face(face);
            }
            // A regular face missing: the bold one still looks like the system's font.
            if (weight == UIFont::Weight::Regular)
                return fontFace(UIFont::Weight::Bold);
            return cairo_toy_font_face_create("sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        }
    }

    cairo_font_face_t* fontFace(UIFont::Weight weight)
    {
        Fonts& f = fonts();
        auto found = f.faces.find(weight);
        if (found != f.faces.end())
            return found->second;
        cairo_font_face_t* face = loadFace(weight);
        f.faces[weight] = face;
        return face;
    }

    const cairo_font_options_t* fontOptions()
    {
        return fonts().options;
    }

    cairo_scaled_font_t* scaledFont(const UIFont& font)
    {
        Fonts& f = fonts();
        auto key = std::make_pair(font.weight(), font.pointSize());
        auto found = f.scaled.find(key);
        if (found != f.scaled.end())
            return found->second;
        cairo_matrix_t matrix, identity;
        cairo_matrix_init_scale(&matrix, font.pointSize(), font.pointSize());
        cairo_matrix_init_identity(&identity);
        cairo_scaled_font_t* scaled = cairo_scaled_font_create(fontFace(font.weight()), &matrix, &identity, f.options);
        f.scaled[key] = scaled;
        return scaled;
    }
}

float UIFont::ascender() const
{
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(detail::scaledFont(*this), &extents);
    return static_cast<float>(extents.ascent);
}

float UIFont::descender() const
{
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(detail::scaledFont(*this), &extents);
    return static_cast<float>(extents.descent);
}

float UIFont::lineHeight() const
{
    return ascender() + descender();
}

float UIFont::widthOfText(std::string_view text) const
{
    if (text.empty() || pointSize_ <= 0)
        return 0;
    std::string terminated(text);
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(detail::scaledFont(*this), terminated.c_str(), &extents);
    return std::isfinite(extents.x_advance) ? static_cast<float>(extents.x_advance) : 0;
}

} // namespace sv::ui
