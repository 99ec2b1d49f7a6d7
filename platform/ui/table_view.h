#pragma once
// UITableView: rows in sections, one below the other, scrolled by a content offset (the bounds'
// origin). Only the rows on screen have cells; a cell that scrolls away, or that reloadData lets
// go, waits in a pool by reuse identifier until the data source dequeues it again. Plain style:
// titled sections get a header that sticks to the top while its rows pass under it, and a section
// index at the right edge jumps to a section.

#include "platform/ui/table_view_cell.h"
#include "platform/ui/view.h"

#include <climits>
#include <compare>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv::ui {

// Foundation's answer for "no such position".
inline constexpr long NSNotFound = LONG_MAX;

enum class UITableViewStyle { Plain = 0, Grouped = 1 };
enum class UITableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };

struct NSIndexPath {
    long section = 0;
    long row = 0;

    friend auto operator<=>(const NSIndexPath&, const NSIndexPath&) = default;
};

class UITableView;

// What the table asks for its content. Held weakly by the table.
class UITableViewDataSource {
public:
    virtual long numberOfSectionsInTableView(UITableView&) { return 1; }
    virtual long numberOfRowsInSection(UITableView& tableView, long section) = 0;
    // The cell for a row, configured; the table owns it from then on.
    virtual std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) = 0;
    // Nothing (or an empty title): the section has no header.
    virtual std::optional<std::string> titleForHeaderInSection(UITableView&, long) { return std::nullopt; }
    // Empty: no section index.
    virtual std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) { return {}; }
    // The section an index title leads to; NSNotFound keeps the table where it is.
    virtual long sectionForSectionIndexTitle(UITableView&, const std::string&, long index) { return index; }

protected:
    ~UITableViewDataSource() = default;
};

// What the table tells about the user's actions. Held weakly by the table.
class UITableViewDelegate {
public:
    virtual void didSelectRowAtIndexPath(UITableView&, const NSIndexPath&) { }

protected:
    ~UITableViewDelegate() = default;
};

class UITableView : public UIView {
public:
    static constexpr float kDefaultRowHeight = 44;
    static constexpr float kHeaderHeight = 22;
    static constexpr float kIndexWidth = 28;

    // Null for a frame that is not finite.
    static std::shared_ptr<UITableView> initWithFrame(const Rect& frame, UITableViewStyle style);
    ~UITableView() override;

    UITableViewStyle style() const { return style_; }
    // The table asks the data source itself at its first layout unless reloadData came first.
    void setDataSource(std::weak_ptr<UITableViewDataSource> dataSource);
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UITableViewDelegate> delegate() const { return delegate_.lock(); }

    float rowHeight() const { return rowHeight_; }
    void setRowHeight(float height);
    // The hairline under every row (and under the empty rows below the last one).
    const UIColor& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const UIColor& color);
    // A view under the last section, as tall as its frame when it is set (set it again after
    // changing its height), as wide as the table. While there is one, no empty rows are drawn
    // below the content.
    std::shared_ptr<UIView> tableFooterView() const { return footer_; }
    void setTableFooterView(std::shared_ptr<UIView> footer);

    // Whether a finger can scroll the table; the table itself still scrolls when told to.
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    Point contentOffset() const { return bounds().origin; }
    // Kept between the top and the last screenful of the content.
    void setContentOffset(Point offset, bool animated = false);
    Size contentSize() const;
    // A finger dragging the content up by dy points (down for a negative dy); nothing while
    // scrolling is off. Answers whether the table moved.
    bool scrollByFinger(float dy);

    // Asks the data source afresh for the sections, rows, titles and index; the cells on screen
    // go back to the pool and are asked for again at the next layout.
    void reloadData();
    long numberOfSections() const { return static_cast<long>(sections_.size()); }
    long numberOfRowsInSection(long section) const;
    // The header title of a section as the data source gave it at the last reload.
    std::optional<std::string> titleForHeaderInSection(long section) const;
    const std::vector<std::string>& sectionIndexTitles() const { return indexTitles_; }

    Rect rectForSection(long section) const;
    Rect rectForRowAtIndexPath(const NSIndexPath& indexPath) const;
    void scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position, bool animated);

    // A finger on the section index at the title of that position: the data source names the
    // section, which comes to the top (as far as the content allows). Answers whether the table
    // moved; NSNotFound, a position outside the index or an unknown section move nothing.
    bool touchSectionIndexAtPosition(long position);

    // A free cell with the identifier, ready to be configured again; null when the pool has none.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // The cell on screen for a row, or null.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& indexPath) const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;
    std::size_t pooledCellCount() const;

    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(const NSIndexPath& indexPath, bool animated);
    void deselectRowAtIndexPath(const NSIndexPath& indexPath, bool animated);
    // How the last deselection was asked for (tests and hosts).
    std::optional<bool> lastDeselectionAnimated() const { return lastDeselectionAnimated_; }

    // A finger's tap on a row: the row comes into view, is highlighted while the finger is down,
    // then is selected and the delegate hears of it. False for a row that does not exist.
    bool tapRowAtIndexPath(const NSIndexPath& indexPath);

    // The cell the data source configures for a row, whether on screen or not, sized as the row
    // and handed to visit; a cell not on screen then goes to the pool (hosts describing rows).
    void visitCellForRowAtIndexPath(const NSIndexPath& indexPath, const std::function<void(UITableViewCell&)>& visit);

protected:
    void layoutSubviews() override;
    void drawRect(const Rect& rect) override;
    UITableView() = default;
    bool setUpWithFrame(const Rect& frame, UITableViewStyle style);

private:
    struct Section {
        float top = 0;
        long rows = 0;
        std::optional<std::string> title;
        float headerHeight() const { return title ? kHeaderHeight : 0; }
    };

    bool isValid(const NSIndexPath& indexPath) const;
    float maximumOffset() const;
    void enqueue(std::shared_ptr<UITableViewCell> cell);
    void placeHeaders();
    void placeIndex();
    void placeFooter();

    UITableViewStyle style_ = UITableViewStyle::Plain;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> delegate_;
    float rowHeight_ = kDefaultRowHeight;
    UIColor separatorColor_ = UIColor::colorWithWhite(0.88f, 1);
    bool scrollEnabled_ = true;

    std::vector<Section> sections_;
    float sectionsHeight_ = 0;
    float contentHeight_ = 0;
    std::vector<std::string> indexTitles_;

    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>, std::less<>> pool_;
    std::map<long, std::shared_ptr<UIView>> headers_;
    std::shared_ptr<UIView> index_;
    std::shared_ptr<UIView> footer_;
    std::optional<NSIndexPath> selected_;
    std::optional<bool> lastDeselectionAnimated_;
    bool loaded_ = false;
};

} // namespace sv::ui
