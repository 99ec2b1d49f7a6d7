#pragma once
// A self-drawing table row: one opaque drawing view covers the cell (all but its bottom point,
// where the separator shows) and forwards its painting to drawContentView, so that a row paints
// everything it shows in one pass instead of compositing labels and image views.

#include "platform/ui/table_view_cell.h"

#include <memory>
#include <string>

class ABTableViewCell;

// The drawing view; its only behaviour is to hand its painting to its superview, the cell.
class ABTableViewCellView final : public sv::ui::UIView {
public:
    static std::shared_ptr<ABTableViewCellView> initWithFrame(const sv::ui::Rect& frame);

protected:
    void drawRect(const sv::ui::Rect& rect) override;

private:
    ABTableViewCellView() = default;
};

class ABTableViewCell : public sv::ui::UITableViewCell {
public:
    // Null when the base initialiser gives nothing; no drawing view is made then.
    static std::shared_ptr<ABTableViewCell> initWithStyle(sv::ui::UITableViewCellStyle style, std::string reuseIdentifier);

    // Editing and delete-confirmation changes repaint the row.
    void willTransitionToState(unsigned state) override;
    // The drawing view follows: the cell's bounds, one point shorter.
    void setFrame(const sv::ui::Rect& frame) override;
    // The drawing view is asked to repaint too.
    void setNeedsDisplay() override;
    // The drawing view; owned by the cell's view hierarchy.
    sv::ui::UIView* contentView = nullptr;

protected:
    // Where specialisations paint, in the drawing view's coordinates (those of the cell); the
    // drawing view calls it from its own drawRect.
    friend class ABTableViewCellView;
    virtual void drawContentView(const sv::ui::Rect& rect);
    ABTableViewCell() = default;
    bool setUpWithStyle(sv::ui::UITableViewCellStyle style, std::string reuseIdentifier);
};
