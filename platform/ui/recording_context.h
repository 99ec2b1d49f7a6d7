#pragma once
// A graphics context that draws nothing and records every operation, with the colours and the
// translation in effect, so that tests can assert on what a view drew and where.

#include "platform/ui/graphics_context.h"

#include <optional>
#include <string>
#include <vector>

namespace sv::ui {

struct DrawOp {
    enum class Kind {
        SetFillColor,
        SetStrokeColor,
        FillRect,
        FillPath,
        StrokePath,
        DrawTextInRect,
        DrawTextAtPoint,
        DrawImageInRect,
        DrawImageAtPoint,
        ClipToRect,
        BeginLayer,
        EndLayer,
    };
    Kind kind;
    Point offset {};        // the translation in effect
    Rect rect {};           // FillRect, text and image rectangles, clips
    Point point {};         // text and image points
    float width = 0;        // DrawTextAtPoint
    float alpha = 1;        // BeginLayer
    UIBezierPath path {};   // FillPath, StrokePath
    std::string text {};
    std::optional<UIFont> font {};
    LineBreakMode lineBreakMode = LineBreakMode::WordWrap;
    TextAlignment alignment = TextAlignment::Left;
    UIColor fillColor {};   // in effect after the operation
    UIColor strokeColor {};
    const Image* image = nullptr; // valid only while the drawing view keeps it
    std::string imagePath {};     // the image's source path, kept after the image is gone
    Size imageSize {};
};

class RecordingContext final : public GraphicsContext {
public:
    const std::vector<DrawOp>& operations() const { return operations_; }
    std::vector<DrawOp> operationsOfKind(DrawOp::Kind kind) const;
    void clear() { operations_.clear(); }

    void saveState() override;
    void restoreState() override;
    void translate(float dx, float dy) override;
    void clipToRect(const Rect& rect) override;
    void beginTransparencyLayer(float alpha) override;
    void endTransparencyLayer() override;
    void setFillColor(const UIColor& color) override;
    void setStrokeColor(const UIColor& color) override;
    void fillRect(const Rect& rect) override;
    void fillPath(const UIBezierPath& path) override;
    void strokePath(const UIBezierPath& path) override;
    Size drawTextInRect(std::string_view text, const Rect& rect, const UIFont& font, LineBreakMode mode,
                        TextAlignment alignment) override;
    Size drawTextAtPoint(std::string_view text, Point point, float width, const UIFont& font,
                         LineBreakMode mode) override;
    void drawImageInRect(const Image& image, const Rect& rect) override;
    void drawImageAtPoint(const Image& image, Point point) override;

private:
    struct State {
        Point offset;
        UIColor fill = UIColor::blackColor();
        UIColor stroke = UIColor::blackColor();
    };
    DrawOp& record(DrawOp::Kind kind);
    DrawOp& recordText(DrawOp::Kind kind, std::string_view text, const UIFont& font, LineBreakMode mode);
    DrawOp& recordImage(DrawOp::Kind kind, const Image& image);

    State state_;
    std::vector<State> saved_;
    std::vector<DrawOp> operations_;
};

} // namespace sv::ui
