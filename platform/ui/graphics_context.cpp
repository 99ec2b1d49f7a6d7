#include "platform/ui/graphics_context.h"

#include "platform/ui/color.h"

#include <vector>

namespace {
std::vector<sv::ui::GraphicsContext*>& contextStack()
{
    static std::vector<sv::ui::GraphicsContext*> stack;
    return stack;
}
}

sv::ui::GraphicsContext* UIGraphicsGetCurrentContext()
{
    return contextStack().empty() ? nullptr : contextStack().back();
}

void UIGraphicsPushContext(sv::ui::GraphicsContext* context)
{
    contextStack().push_back(context);
}

void UIGraphicsPopContext()
{
    if (!contextStack().empty())
        contextStack().pop_back();
}

void CGContextFillRect(sv::ui::GraphicsContext* context, const sv::ui::Rect& rect)
{
    if (context)
        context->fillRect(rect);
}

namespace sv::ui {

void drawImageInRect(const Image& image, const Rect& rect)
{
    callCurrentContext(&GraphicsContext::drawImageInRect, image, rect);
}

void drawImageAtPoint(const Image& image, Point point)
{
    callCurrentContext(&GraphicsContext::drawImageAtPoint, image, point);
}

void UIColor::setFill() const
{
    callCurrentContext(&GraphicsContext::setFillColor, *this);
}

void UIColor::setStroke() const
{
    callCurrentContext(&GraphicsContext::setStrokeColor, *this);
}

void UIColor::set() const
{
    setFill();
    setStroke();
}

} // namespace sv::ui
