#include "platform/ui/view_renderer.h"

#include "platform/foundation/files.h"
#include "platform/ui/cairo_context.h"
#include "platform/ui/image.h"

#include <cmath>

namespace sv::ui {
namespace {
    void drawTree(UIView& view, GraphicsContext& context, bool isRoot)
    {
        if (view.isHidden() || view.alpha() <= 0)
            return;
        context.saveState();
        Rect bounds = view.bounds();
        if (!isRoot)
            context.translate(view.frame().x(), view.frame().y());
        context.translate(-bounds.x(), -bounds.y());
        bool layered = view.alpha() < 1;
        if (layered)
            context.beginTransparencyLayer(view.alpha());
        if (view.clipsToBounds())
            context.clipToRect(bounds);
        if (view.backgroundColor() && view.backgroundColor()->alpha > 0) {
            context.setFillColor(*view.backgroundColor());
            context.fillRect(bounds);
        }
        context.saveState();
        UIGraphicsPushContext(&context);
        view.paint(bounds);
        UIGraphicsPopContext();
        context.restoreState();
        // A copy: nothing may change the tree while it is drawn, but be safe if it does.
        auto children = view.subviews();
        for (auto& child : children)
            drawTree(*child, context, false);
        if (layered)
            context.endTransparencyLayer();
        context.restoreState();
    }
}

void drawViewHierarchy(UIView& view, GraphicsContext& context)
{
    view.layoutIfNeeded();
    drawTree(view, context, true);
}

std::shared_ptr<Image> renderView(UIView& view, float scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        return nullptr;
    float widthPixels = std::ceil(view.bounds().width() * scale);
    float heightPixels = std::ceil(view.bounds().height() * scale);
    if (!(widthPixels >= 1 && widthPixels <= 8192 && heightPixels >= 1 && heightPixels <= 8192))
        return nullptr;
    int width = static_cast<int>(widthPixels);
    int height = static_cast<int>(heightPixels);
    auto image = Image::create(width, height);
    if (!image)
        return nullptr;
    {
        auto context = CairoContext::create(image, scale);
        if (!context)
            return nullptr;
        drawViewHierarchy(view, *context);
    }
    return image;
}

bool writeViewPng(UIView& view, const std::string& hostPath, float scale)
{
    auto image = renderView(view, scale);
    auto png = image ? image->pngData() : std::nullopt;
    return png && fs::writeHostFileAtomically(hostPath, png->data(), png->size());
}

} // namespace sv::ui
