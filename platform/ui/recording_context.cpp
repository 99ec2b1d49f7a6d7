#include "platform/ui/recording_context.h"

#include "platform/ui/image.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {

std::vector<DrawOp> RecordingContext::operationsOfKind(DrawOp::Kind kind) const
{
    std::vector<DrawOp> found;
    std::copy_if(operations_.begin(), operations_.end(), std::back_inserter(found),
                 [kind](const DrawOp& op) { return op.kind == kind; });
    return found;
}

DrawOp& RecordingContext::record(DrawOp::Kind kind)
{
    DrawOp& op = operations_.emplace_back(DrawOp { .kind = kind });
    op.offset = state_.offset;
    op.fillColor = state_.fill;
    op.strokeColor = state_.stroke;
    return op;
}

DrawOp& RecordingContext::recordText(DrawOp::Kind kind, std::string_view text, const UIFont& font, LineBreakMode mode)
{
    DrawOp& op = record(kind);
    op.text = text;
    op.font = font;
    op.lineBreakMode = mode;
    return op;
}

DrawOp& RecordingContext::recordImage(DrawOp::Kind kind, const Image& image)
{
    DrawOp& op = record(kind);
    op.image = &image;
    op.imagePath = image.sourcePath();
    op.imageSize = { static_cast<float>(image.width()), static_cast<float>(image.height()) };
    return op;
}

void RecordingContext::saveState()
{
    saved_.push_back(state_);
}

void RecordingContext::restoreState()
{
    if (saved_.empty())
        return;
    state_ = saved_.back();
    saved_.pop_back();
}

void RecordingContext::translate(float dx, float dy)
{
    state_.offset.x += dx;
    state_.offset.y += dy;
}

void RecordingContext::clipToRect(const Rect& rect)
{
    record(DrawOp::Kind::ClipToRect).rect = rect;
}

void RecordingContext::beginTransparencyLayer(float alpha)
{
    saveState();
    record(DrawOp::Kind::BeginLayer).alpha = alpha;
}

void RecordingContext::endTransparencyLayer()
{
    record(DrawOp::Kind::EndLayer);
    restoreState();
}

void RecordingContext::setFillColor(const UIColor& color)
{
    state_.fill = color;
    record(DrawOp::Kind::SetFillColor);
}

void RecordingContext::setStrokeColor(const UIColor& color)
{
    state_.stroke = color;
    record(DrawOp::Kind::SetStrokeColor);
}

void RecordingContext::fillRect(const Rect& rect)
{
    record(DrawOp::Kind::FillRect).rect = rect;
}

void RecordingContext::fillPath(const UIBezierPath& path)
{
    record(DrawOp::Kind::FillPath).path = path;
}

void RecordingContext::strokePath(const UIBezierPath& path)
{
    record(DrawOp::Kind::StrokePath).path = path;
}

Size RecordingContext::drawTextInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode,
                                      TextAlignment alignment)
{
    DrawOp& op = recordText(DrawOp::Kind::DrawTextInRect, text, font, mode);
    op.rect = rect;
    op.alignment = alignment;
    return sizeWithFont(text, font, rect.size, mode);
}

Size RecordingContext::drawTextAtPoint(std::string_view text, Point point, float width, const UIFont& font,
                                       LineBreakMode mode)
{
    DrawOp& op = recordText(DrawOp::Kind::DrawTextAtPoint, text, font, mode);
    op.point = point;
    op.width = width;
    auto lines = layoutText(text, font, width, font.lineHeight(), mode);
    return { std::ceil(lines.empty() ? 0 : std::min(lines.front().width, width)), std::ceil(font.lineHeight()) };
}

void RecordingContext::drawImageInRect(const Image& image, const Rect& rect)
{
    recordImage(DrawOp::Kind::DrawImageInRect, image).rect = rect;
}

void RecordingContext::drawImageAtPoint(const Image& image, Point point)
{
    recordImage(DrawOp::Kind::DrawImageAtPoint, image).point = point;
}

} // namespace sv::ui
