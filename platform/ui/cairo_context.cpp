#include "platform/ui/cairo_context.h"

#include "platform/ui/image.h"
#include "platform/ui/pango_text.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <numbers>

namespace sv::ui {
namespace {
    cairo_t* cr(void* c)
    {
        return static_cast<cairo_t*>(c);
    }
}

std::unique_ptr<CairoContext> CairoContext::create(std::shared_ptr<Image> image, float scale)
{
    if (!image || !std::isfinite(scale) || scale <= 0)
        return nullptr;
    cairo_t* c = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));
    if (cairo_status(c) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(c);
        return nullptr;
    }
    cairo_scale(c, scale, scale);
    return std::unique_ptr<CairoContext>(new CairoContext(std::move(image), c));
}

CairoContext::CairoContext(std::shared_ptr<Image> image, void* cairo) : image_(std::move(image)), cairo_(cairo) { }

CairoContext::~CairoContext()
{
    cairo_surface_flush(cairo_get_target(cr(cairo_)));
    cairo_destroy(cr(cairo_));
}

void CairoContext::saveState()
{
    saved_.push_back(colors_);
    cairo_save(cr(cairo_));
}

void CairoContext::restoreState()
{
    if (saved_.empty())
        return;
    colors_ = saved_.back();
    saved_.pop_back();
    cairo_restore(cr(cairo_));
}

void CairoContext::translate(float dx, float dy)
{
    cairo_translate(cr(cairo_), dx, dy);
}

void CairoContext::clipToRect(const Rect& rect)
{
    cairo_rectangle(cr(cairo_), rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr(cairo_));
}

void CairoContext::beginTransparencyLayer(float alpha)
{
    saved_.push_back(colors_);
    colors_.layerAlpha = std::clamp(alpha, 0.0f, 1.0f);
    cairo_push_group(cr(cairo_));
}

void CairoContext::endTransparencyLayer()
{
    if (saved_.empty())
        return;
    float alpha = colors_.layerAlpha;
    colors_ = saved_.back();
    saved_.pop_back();
    cairo_pop_group_to_source(cr(cairo_));
    cairo_paint_with_alpha(cr(cairo_), alpha);
}

void CairoContext::setFillColor(const UIColor& color)
{
    colors_.fill = color;
}

void CairoContext::setStrokeColor(const UIColor& color)
{
    colors_.stroke = color;
}

void CairoContext::useColor(const UIColor& color)
{
    cairo_set_source_rgba(cr(cairo_), color.red, color.green, color.blue, color.alpha);
}

void CairoContext::fillRect(const Rect& rect)
{
    useColor(colors_.fill);
    cairo_rectangle(cr(cairo_), rect.x(), rect.y(), rect.width(), rect.height());
    cairo_fill(cr(cairo_));
}

void CairoContext::buildPath(const UIBezierPath& path)
{
    cairo_t* c = cr(cairo_);
    cairo_new_path(c);
    using Kind = UIBezierPath::Element::Kind;
    for (const auto& e : path.elements()) {
        const Rect& r = e.rect;
        switch (e.kind) {
        case Kind::MoveTo:
            cairo_move_to(c, e.point.x, e.point.y);
            break;
        case Kind::LineTo:
            cairo_line_to(c, e.point.x, e.point.y);
            break;
        case Kind::Close:
            cairo_close_path(c);
            break;
        case Kind::Rect:
            cairo_rectangle(c, r.x(), r.y(), r.width(), r.height());
            break;
        case Kind::RoundedRect: {
            double radius = std::clamp<double>(e.radius, 0, std::min(std::fabs(r.width()), std::fabs(r.height())) / 2);
            double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
            constexpr double quarter = std::numbers::pi / 2;
            cairo_new_sub_path(c);
            cairo_arc(c, x1 - radius, y0 + radius, radius, -quarter, 0);
            cairo_arc(c, x1 - radius, y1 - radius, radius, 0, quarter);
            cairo_arc(c, x0 + radius, y1 - radius, radius, quarter, 2 * quarter);
            cairo_arc(c, x0 + radius, y0 + radius, radius, 2 * quarter, 3 * quarter);
            cairo_close_path(c);
            break;
        }
        case Kind::Oval:
            if (r.width() != 0 && r.height() != 0) {
                cairo_save(c);
                cairo_translate(c, r.midX(), r.midY());
                cairo_scale(c, r.width() / 2, r.height() / 2);
                cairo_new_sub_path(c);
                cairo_arc(c, 0, 0, 1, 0, 2 * std::numbers::pi);
                cairo_close_path(c);
                cairo_restore(c);
            }
            break;
        }
    }
}

void CairoContext::fillPath(const UIBezierPath& path)
{
    buildPath(path);
    useColor(colors_.fill);
    cairo_set_fill_rule(cr(cairo_), CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr(cairo_));
}

void CairoContext::strokePath(const UIBezierPath& path)
{
    buildPath(path);
    useColor(colors_.stroke);
    cairo_set_line_width(cr(cairo_), path.lineWidth());
    cairo_stroke(cr(cairo_));
}

void CairoContext::showLine(const std::string& text, float x, float baseline, const UIFont& font)
{
    useColor(colors_.fill);
    detail::showShapedLine(cr(cairo_), text, font, x, baseline);
}

Size CairoContext::drawTextInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode,
                                  TextAlignment alignment)
{
    auto lines = layoutText(text, font, rect.width(), rect.height(), mode);
    float lineHeight = font.lineHeight();
    float widest = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        float x = rect.x();
        if (alignment == TextAlignment::Center)
            x += (rect.width() - lines[i].width) / 2;
        else if (alignment == TextAlignment::Right)
            x += rect.width() - lines[i].width;
        showLine(lines[i].text, x, rect.y() + lineHeight * static_cast<float>(i) + font.ascender(), font);
        widest = std::max(widest, lines[i].width);
    }
    return { std::ceil(std::min(widest, rect.width())), std::ceil(lineHeight * static_cast<float>(lines.size())) };
}

Size CairoContext::drawTextAtPoint(std::string_view text, Point point, float width, const UIFont& font,
                                   LineBreakMode mode)
{
    auto lines = layoutText(text, font, width, font.lineHeight(), mode);
    if (lines.empty())
        return {};
    cairo_save(cr(cairo_));
    if (width > 0) {
        cairo_rectangle(cr(cairo_), point.x, point.y, width, font.lineHeight());
        cairo_clip(cr(cairo_));
    }
    showLine(lines.front().text, point.x, point.y + font.ascender(), font);
    cairo_restore(cr(cairo_));
    float drawn = width > 0 ? std::min(lines.front().width, width) : lines.front().width;
    return { std::ceil(drawn), std::ceil(font.lineHeight()) };
}

void CairoContext::drawImageInRect(const Image& image, const Rect& rect)
{
    if (image.width() <= 0 || image.height() <= 0 || rect.width() == 0 || rect.height() == 0)
        return;
    cairo_t* c = cr(cairo_);
    cairo_save(c);
    cairo_translate(c, rect.x(), rect.y());
    cairo_scale(c, rect.width() / static_cast<double>(image.width()), rect.height() / static_cast<double>(image.height()));
    cairo_set_source_surface(c, static_cast<cairo_surface_t*>(image.cairoSurface()), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_GOOD);
    cairo_paint(c);
    cairo_restore(c);
}

void CairoContext::drawImageAtPoint(const Image& image, Point point)
{
    cairo_t* c = cr(cairo_);
    cairo_save(c);
    cairo_set_source_surface(c, static_cast<cairo_surface_t*>(image.cairoSurface()), point.x, point.y);
    cairo_paint(c);
    cairo_restore(c);
}

} // namespace sv::ui
