#pragma once
// The table view's own section index view.

#include "platform/foundation/make_set_up.h"
#include "platform/ui/string_drawing.h"
#include "platform/ui/view.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace sv::ui::detail {

// The section index: its titles spread down the right edge.
class UITableViewIndex final : public UIView {
public:
    static std::shared_ptr<UITableViewIndex> make()
    {
        return sv::makeSetUp(new UITableViewIndex, &UITableViewIndex::setUpWithFrame, RectZero);
    }
    void setTitles(const std::vector<std::string>& titles)
    {
        setDrawnIfChanged(titles_, titles);
    }

protected:
    void drawRect(const Rect&) override
    {
        if (titles_.empty())
            return;
        Rect b = bounds();
        UIFont font = UIFont::boldSystemFontOfSize(11);
        float step = std::min(font.lineHeight() + 2, (b.height() - 8) / static_cast<float>(titles_.size()));
        float y = b.y() + (b.height() - step * static_cast<float>(titles_.size())) / 2;
        UIColor::colorWithRed(0.38f, 0.42f, 0.49f, 1).setFill();
        for (const auto& title : titles_) {
            drawInRect(title, { b.x(), y + (step - font.lineHeight()) / 2, b.width(), font.lineHeight() }, font,
                       LineBreakMode::Clip, TextAlignment::Center);
            y += step;
        }
    }

private:
    UITableViewIndex() = default;
    std::vector<std::string> titles_;
};

} // namespace sv::ui::detail
