#pragma once
// A graphics context that paints into an image through cairo, at a scale (2: two pixels a point).

#include "platform/ui/graphics_context.h"

#include <memory>
#include <vector>

namespace sv::ui {

class Image;

class CairoContext final : public GraphicsContext {
public:
    // Paints into image, whose pixels are scale times the points drawn. Null when cairo fails.
    static std::unique_ptr<CairoContext> create(std::shared_ptr<Image> image, float scale = 1);
    ~CairoContext() override;
    CairoContext(const CairoContext&) = delete;
    CairoContext& operator=(const CairoContext&) = delete;

    const std::shared_ptr<Image>& image() const { return image_; }

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
    CairoContext(std::shared_ptr<Image> image, void* cairo);
    void buildPath(const UIBezierPath& path);
    void useColor(const UIColor& color);
    void showLine(const std::string& text, float x, float baseline, const UIFont& font);

    struct Colors {
        UIColor fill = UIColor::blackColor();
        UIColor stroke = UIColor::blackColor();
        float layerAlpha = 1;
    };

    std::shared_ptr<Image> image_;
    void* cairo_;
    Colors colors_;
    std::vector<Colors> saved_;
};

} // namespace sv::ui
