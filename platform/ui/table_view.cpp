#include "platform/ui/table_view.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/section_header_view.h"
#include "platform/ui/section_index_view.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {

std::shared_ptr<UITableView> UITableView::initWithFrame(const Rect& frame, UITableViewStyle style)
{
    return sv::makeSetUp(new UITableView, &UITableView::setUpWithFrame, frame, style);
}

UITableView::~UITableView() = default;

bool UITableView::setUpWithFrame(const Rect& frame, UITableViewStyle style)
{
    if (!UIView::setUpWithFrame(frame))
        return false;
    style_ = style;
    setBackgroundColor(UIColor::whiteColor());
    setClipsToBounds(true);
    return true;
}

void UITableView::setDataSource(std::weak_ptr<UITableViewDataSource> dataSource)
{
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void UITableView::setRowHeight(float height)
{
    if (!std::isfinite(height) || height <= 0 || height == rowHeight_)
        return;
    rowHeight_ = height;
    reloadData();
}

void UITableView::setSeparatorColor(const UIColor& color)
{
    separatorColor_ = color;
    for (auto& [path, cell] : visible_)
        cell->setSeparatorColor(color);
    setNeedsDisplay();
}

void UITableView::setTableFooterView(std::shared_ptr<UIView> footer)
{
    replaceHeldSubview(footer_, std::move(footer), 0);
    contentHeight_ = sectionsHeight_ + (footer_ ? std::max(0.0f, footer_->frame().height()) : 0);
    setContentOffset(contentOffset());
    setNeedsLayout();
    setNeedsDisplay();
}

Size UITableView::contentSize() const
{
    return { bounds().width(), contentHeight_ };
}

float UITableView::maximumOffset() const
{
    return std::max(0.0f, contentHeight_ - bounds().height());
}

void UITableView::setContentOffset(Point offset, bool)
{
    float y = std::isfinite(offset.y) ? std::clamp(offset.y, 0.0f, maximumOffset()) : 0;
    if (y == bounds().y())
        return;
    setBounds({ bounds().x(), y, bounds().width(), bounds().height() });
    setNeedsLayout();
}

bool UITableView::scrollByFinger(float dy)
{
    if (!scrollEnabled_ || !std::isfinite(dy))
        return false;
    float before = bounds().y();
    setContentOffset({ 0, before + dy });
    return bounds().y() != before;
}

void UITableView::reloadData()
{
    loaded_ = true;
    for (auto& [path, cell] : visible_) {
        cell->removeFromSuperview();
        enqueue(cell);
    }
    visible_.clear();
    sections_.clear();
    indexTitles_.clear();
    contentHeight_ = 0;
    if (auto source = dataSource()) {
        long count = std::max(0L, source->numberOfSectionsInTableView(*this));
        sections_.reserve(static_cast<std::size_t>(std::min(count, 100000L)));
        for (long s = 0; s < count && s < 100000; ++s) {
            Section section;
            section.top = contentHeight_;
            section.rows = std::max(0L, source->numberOfRowsInSection(*this, s));
            section.title = source->titleForHeaderInSection(*this, s);
            if (section.title && section.title->empty())
                section.title.reset();
            contentHeight_ += section.headerHeight() + rowHeight_ * static_cast<float>(section.rows);
            sections_.push_back(std::move(section));
        }
        indexTitles_ = source->sectionIndexTitlesForTableView(*this);
    }
    sectionsHeight_ = contentHeight_;
    if (footer_)
        contentHeight_ += std::max(0.0f, footer_->frame().height());
    if (selected_ && !isValid(*selected_))
        selected_.reset();
    // The content may have shrunk under the offset.
    setContentOffset(contentOffset());
    setNeedsLayout();
    setNeedsDisplay();
}

long UITableView::numberOfRowsInSection(long section) const
{
    return section >= 0 && section < numberOfSections() ? sections_[static_cast<std::size_t>(section)].rows : 0;
}

std::optional<std::string> UITableView::titleForHeaderInSection(long section) const
{
    if (section < 0 || section >= numberOfSections())
        return std::nullopt;
    return sections_[static_cast<std::size_t>(section)].title;
}

bool UITableView::isValid(const NSIndexPath& indexPath) const
{
    return indexPath.section >= 0 && indexPath.section < numberOfSections() && indexPath.row >= 0
        && indexPath.row < sections_[static_cast<std::size_t>(indexPath.section)].rows;
}

Rect UITableView::rectForSection(long section) const
{
    if (section < 0 || section >= numberOfSections())
        return RectZero;
    const Section& s = sections_[static_cast<std::size_t>(section)];
    return { 0, s.top, bounds().width(), s.headerHeight() + rowHeight_ * static_cast<float>(s.rows) };
}

Rect UITableView::rectForRowAtIndexPath(const NSIndexPath& indexPath) const
{
    if (!isValid(indexPath))
        return RectZero;
    const Section& s = sections_[static_cast<std::size_t>(indexPath.section)];
    return { 0, s.top + s.headerHeight() + rowHeight_ * static_cast<float>(indexPath.row), bounds().width(), rowHeight_ };
}

void UITableView::scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position, bool animated)
{
    if (!isValid(indexPath))
        return;
    Rect row = rectForRowAtIndexPath(indexPath);
    float top = bounds().y(), height = bounds().height();
    // The header of the row's section covers the top of the screen.
    float covered = sections_[static_cast<std::size_t>(indexPath.section)].headerHeight();
    float y = top;
    switch (position) {
    case UITableViewScrollPosition::Top:
        y = row.y() - covered;
        break;
    case UITableViewScrollPosition::Middle:
        y = row.midY() - height / 2;
        break;
    case UITableViewScrollPosition::Bottom:
        y = row.maxY() - height;
        break;
    case UITableViewScrollPosition::None:
        if (row.y() - covered < top)
            y = row.y() - covered;
        else if (row.maxY() > top + height)
            y = row.maxY() - height;
        break;
    }
    setContentOffset({ 0, y }, animated);
}

bool UITableView::touchSectionIndexAtPosition(long position)
{
    if (position < 0 || position >= static_cast<long>(indexTitles_.size()))
        return false;
    auto source = dataSource();
    if (!source)
        return false;
    long section = source->sectionForSectionIndexTitle(*this, indexTitles_[static_cast<std::size_t>(position)], position);
    if (section == NSNotFound || section < 0 || section >= numberOfSections())
        return false;
    float before = bounds().y();
    setContentOffset({ 0, sections_[static_cast<std::size_t>(section)].top });
    return bounds().y() != before;
}

void UITableView::enqueue(std::shared_ptr<UITableViewCell> cell)
{
    if (cell)
        pool_[cell->reuseIdentifier()].push_back(std::move(cell));
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto found = pool_.find(identifier);
    if (found == pool_.end() || found->second.empty())
        return nullptr;
    auto cell = std::move(found->second.back());
    found->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::size_t UITableView::pooledCellCount() const
{
    std::size_t count = 0;
    for (const auto& [identifier, cells] : pool_)
        count += cells.size();
    return count;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& indexPath) const
{
    auto found = visible_.find(indexPath);
    return found == visible_.end() ? nullptr : found->second;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const
{
    std::vector<NSIndexPath> paths;
    for (const auto& [path, cell] : visible_)
        paths.push_back(path);
    return paths;
}

void UITableView::selectRowAtIndexPath(const NSIndexPath& indexPath, bool animated)
{
    if (!isValid(indexPath))
        return;
    if (selected_ && *selected_ != indexPath)
        if (auto previous = cellForRowAtIndexPath(*selected_))
            previous->setSelected(false, animated);
    selected_ = indexPath;
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(true, animated);
}

void UITableView::deselectRowAtIndexPath(const NSIndexPath& indexPath, bool animated)
{
    lastDeselectionAnimated_ = animated;
    if (selected_ != indexPath)
        return;
    selected_.reset();
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false, animated);
}

bool UITableView::tapRowAtIndexPath(const NSIndexPath& indexPath)
{
    if (!isValid(indexPath))
        return false;
    auto keep = shared_from_this();
    scrollToRowAtIndexPath(indexPath, UITableViewScrollPosition::None, false);
    layoutIfNeeded();
    if (auto cell = cellForRowAtIndexPath(indexPath)) {
        cell->setHighlighted(true);
        cell->setHighlighted(false);
    }
    selectRowAtIndexPath(indexPath, false);
    if (auto listener = delegate())
        listener->didSelectRowAtIndexPath(*this, indexPath);
    return true;
}

void UITableView::visitCellForRowAtIndexPath(const NSIndexPath& indexPath,
                                             const std::function<void(UITableViewCell&)>& visit)
{
    auto source = dataSource();
    if (!source || !isValid(indexPath))
        return;
    auto cell = source->cellForRowAtIndexPath(*this, indexPath);
    if (!cell)
        return;
    cell->setFrame(rectForRowAtIndexPath(indexPath));
    cell->setSeparatorColor(separatorColor_);
    visit(*cell);
    if (!cell->superview())
        enqueue(std::move(cell));
}

void UITableView::layoutSubviews()
{
    if (!loaded_)
        reloadData();
    auto source = dataSource();
    float top = bounds().y(), bottom = top + bounds().height();

    // Rows on screen now.
    std::vector<NSIndexPath> wanted;
    for (long s = 0; s < numberOfSections(); ++s) {
        const Section& section = sections_[static_cast<std::size_t>(s)];
        float first = section.top + section.headerHeight();
        float end = first + rowHeight_ * static_cast<float>(section.rows);
        if (end <= top || section.top >= bottom)
            continue;
        long from = std::max(0L, static_cast<long>(std::floor((top - first) / rowHeight_)));
        long to = std::min(section.rows, static_cast<long>(std::ceil((bottom - first) / rowHeight_)));
        for (long r = from; r < to; ++r)
            wanted.push_back({ s, r });
    }

    // Rows that left the screen give their cells back first, so that new rows can reuse them.
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        enqueue(std::move(it->second));
        it = visible_.erase(it);
    }
    for (const NSIndexPath& path : wanted) {
        auto& cell = visible_[path];
        if (!cell) {
            cell = source ? source->cellForRowAtIndexPath(*this, path) : nullptr;
            if (!cell) {
                visible_.erase(path);
                continue;
            }
            cell->setSelected(selected_ == path);
            insertSubviewAtIndex(cell, 0);
        }
        cell->setSeparatorColor(separatorColor_);
        cell->setFrame(rectForRowAtIndexPath(path));
    }
    placeHeaders();
    placeIndex();
    placeFooter();
}

void UITableView::placeFooter()
{
    if (footer_)
        footer_->setFrame({ 0, sectionsHeight_, bounds().width(), footer_->frame().height() });
}

void UITableView::placeHeaders()
{
    float top = bounds().y(), bottom = top + bounds().height();
    std::map<long, std::shared_ptr<UIView>> placed;
    for (long s = 0; s < numberOfSections(); ++s) {
        const Section& section = sections_[static_cast<std::size_t>(s)];
        if (!section.title)
            continue;
        float end = section.top + section.headerHeight() + rowHeight_ * static_cast<float>(section.rows);
        if (end <= top || section.top >= bottom)
            continue;
        // Stuck to the top while the section's rows pass under it, pushed up by the next one.
        float y = std::min(std::max(section.top, top), end - kHeaderHeight);
        auto found = headers_.find(s);
        std::shared_ptr<UIView> header;
        if (found != headers_.end()) {
            header = found->second;
            static_cast<detail::UITableViewHeaderFooterView&>(*header).setTitle(*section.title);
        } else {
            header = detail::UITableViewHeaderFooterView::make(*section.title);
            insertSubviewAtIndex(header, visible_.size());
        }
        header->setFrame({ 0, y, bounds().width(), kHeaderHeight });
        placed[s] = header;
    }
    for (auto& [s, header] : headers_)
        if (!placed.count(s))
            header->removeFromSuperview();
    headers_ = std::move(placed);
}

void UITableView::placeIndex()
{
    if (indexTitles_.empty()) {
        if (index_)
            index_->removeFromSuperview();
        index_.reset();
        return;
    }
    if (!index_) {
        index_ = detail::UITableViewIndex::make();
        insertSubviewAtIndex(index_, visible_.size() + headers_.size());
    }
    static_cast<detail::UITableViewIndex&>(*index_).setTitles(indexTitles_);
    index_->setFrame({ bounds().width() - kIndexWidth, bounds().y(), kIndexWidth, bounds().height() });
}

void UITableView::drawRect(const Rect&)
{
    // The hairlines of the empty rows below the content; a footer ends the table instead.
    if (footer_)
        return;
    Rect b = bounds();
    separatorColor_.setFill();
    for (float y = contentHeight_ + rowHeight_; y <= b.maxY() + rowHeight_; y += rowHeight_)
        if (y > b.y())
            UIBezierPath::bezierPathWithRect({ b.x(), y - 1, b.width(), 1 }).fill();
}

} // namespace sv::ui
