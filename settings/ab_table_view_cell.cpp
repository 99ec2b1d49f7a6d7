#include "settings/ab_table_view_cell.h"

using namespace sv::ui;

std::shared_ptr<ABTableViewCellView> ABTableViewCellView::initWithFrame(const Rect& frame)
{
    std::shared_ptr<ABTableViewCellView> view(new ABTableViewCellView);
    return view->setUpWithFrame(frame) ? view : nullptr;
}

void ABTableViewCellView::drawRect(const Rect& rect)
{
    if (auto* cell = dynamic_cast<ABTableViewCell*>(superview()))
        cell->drawContentView(rect);
}

std::shared_ptr<ABTableViewCell> ABTableViewCell::initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    std::shared_ptr<ABTableViewCell> cell(new ABTableViewCell);
    return cell->setUpWithStyle(style, std::move(reuseIdentifier)) ? cell : nullptr;
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
