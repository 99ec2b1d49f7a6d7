#include "settings/ab_table_view_cell.h"

#include "platform/foundation/make_set_up.h"

using namespace sv::ui;

std::shared_ptr<ABTableViewCellView> ABTableViewCellView::initWithFrame(const Rect& frame)
{
    return sv::makeSetUp(new ABTableViewCellView, &ABTableViewCellView::setUpWithFrame, frame);
}

void ABTableViewCellView::drawRect(const Rect& rect)
{
    if (auto* cell = dynamic_cast<ABTableViewCell*>(superview()))
        cell->drawContentView(rect);
}

std::shared_ptr<ABTableViewCell> ABTableViewCell::initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    return sv::makeSetUp(new ABTableViewCell, &ABTableViewCell::setUpWithStyle, style, std::move(reuseIdentifier));
}

bool ABTableViewCell::setUpWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    if (!UITableViewCell::setUpWithStyle(style, std::move(reuseIdentifier)))
        return false;
    auto view = ABTableViewCellView::initWithFrame(RectZero);
    if (!view)
        return true;
    view->setOpaque(true);
    addSubview(view);
    contentView = view.get();
    return true;
}

void ABTableViewCell::willTransitionToState(unsigned state)
{
    UITableViewCell::willTransitionToState(state);
    setNeedsDisplay();
}

void ABTableViewCell::setFrame(const Rect& frame)
{
    UITableViewCell::setFrame(frame);
    if (contentView) {
        Rect b = bounds();
        contentView->setFrame({ b.x(), b.y(), b.width(), b.height() - 1 });
    }
}

void ABTableViewCell::setNeedsDisplay()
{
    UITableViewCell::setNeedsDisplay();
    if (contentView)
        contentView->setNeedsDisplay();
}

void ABTableViewCell::drawContentView(const Rect&) { }
