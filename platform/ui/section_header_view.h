#pragma once
// The table view's own header view for a plain-style section.

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/string_drawing.h"
#include "platform/ui/view.h"

#include <memory>
#include <string>

namespace sv::ui::detail {

// A plain-style section header: a grey band with the title in white.
class UITableViewHeaderFooterView final : public UIView {
public:
    static std::shared_ptr<UITableViewHeaderFooterView> make(std::string title)
    {
        auto view = sv::makeSetUp(new UITableViewHeaderFooterView, &UITableViewHeaderFooterView::setUpWithFrame, RectZero);
        if (view)
            view->title_ = std::move(title);
        return view;
    }
    const std::string& title() const { return title_; }
    void setTitle(std::string title)
    {
        setDrawnIfChanged(title_, std::move(title));
    }

protected:
    void drawRect(const Rect&) override
    {
        Rect b = bounds();
        UIColor::colorWithRed(0.60f, 0.65f, 0.71f, 0.96f).setFill();
        UIBezierPath::bezierPathWithRect(b).fill();
        UIColor::colorWithRed(0.68f, 0.72f, 0.77f, 0.96f).setFill();
        UIBezierPath::bezierPathWithRect({ b.x(), b.y(), b.width(), 1 }).fill();
        UIFont font = UIFont::boldSystemFontOfSize(18);
        float y = b.y() + (b.height() - font.lineHeight()) / 2;
        // A soft shadow under the white title.
        UIColor::colorWithWhite(0.3f, 0.6f).setFill();
        drawAtPoint(title_, { b.x() + 12, y + 1 }, b.width() - 24, font, LineBreakMode::TailTruncation);
        UIColor::whiteColor().setFill();
        drawAtPoint(title_, { b.x() + 12, y }, b.width() - 24, font, LineBreakMode::TailTruncation);
    }

private:
    UITableViewHeaderFooterView() = default;
    std::string title_;
};

} // namespace sv::ui::detail
