#pragma once
// What drawRect draws into. Two backends: RecordingContext (tests assert on what was drawn and
// where) and CairoContext (pixels, for PNG snapshots). Views draw into the current context, as
// UIKit's drawing calls do.

#include "platform/ui/bezier_path.h"
#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/text_style.h"

#include <string_view>
#include <utility>

namespace sv::ui {

class Image;

class GraphicsContext {
public:
    virtual ~GraphicsContext() = default;

    // State: colours, translation, clip and layers are saved and restored together.
    virtual void saveState() = 0;
    virtual void restoreState() = 0;
    virtual void translate(float dx, float dy) = 0;
    virtual void clipToRect(const Rect& rect) = 0;
    // Everything drawn until the matching end is composited with the given opacity.
    virtual void beginTransparencyLayer(float alpha) = 0;
    virtual void endTransparencyLayer() = 0;

    virtual void setFillColor(const UIColor& color) = 0;
    virtual void setStrokeColor(const UIColor& color) = 0;

    virtual void fillRect(const Rect& rect) = 0;
    virtual void fillPath(const UIBezierPath& path) = 0;
    virtual void strokePath(const UIBezierPath& path) = 0;

    // Text in the fill colour; each answers the size it drew.
    virtual Size drawTextInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode,
                                TextAlignment alignment)
        = 0;
    virtual Size drawTextAtPoint(std::string_view text, Point point, float width, const UIFont& font,
                                 LineBreakMode mode)
        = 0;

    // Scaled into the rectangle, or at natural size with its top-left corner at the point.
    virtual void drawImageInRect(const Image& image, const Rect& rect) = 0;
    virtual void drawImageAtPoint(const Image& image, Point point) = 0;
};

} // namespace sv::ui

// The current context: the one a view's drawRect is drawing into, or null outside drawing.
sv::ui::GraphicsContext* UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(sv::ui::GraphicsContext* context);
void UIGraphicsPopContext();
void CGContextFillRect(sv::ui::GraphicsContext* context, const sv::ui::Rect& rect);

namespace sv::ui {
// Makes a drawing call on the current context; outside drawing nothing is drawn and the answer
// is the default one.
template <typename Result, typename... Params, typename... Args>
Result callCurrentContext(Result (GraphicsContext::*call)(Params...), Args&&... args)
{
    GraphicsContext* context = UIGraphicsGetCurrentContext();
    if (!context)
        return Result();
    return (context->*call)(std::forward<Args>(args)...);
}

// UIImage's drawing into the current context (nothing outside drawing): scaled into the
// rectangle, or at natural size with its top-left corner at the point.
void drawImageInRect(const Image& image, const Rect& rect);
void drawImageAtPoint(const Image& image, Point point);
}
