#include "settings/recently_closed_controller.h"

#include "platform/foundation/make_set_up.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image.h"
#include "platform/ui/label.h"
#include "platform/ui/string_drawing.h"
#include "settings/identifier_lists.h"
#include "settings/never_apps_controller.h"
#include "settings/recently_closed_cell.h"

#include <chrono>

using namespace sv::ui;

namespace {
const SLVAppListDifferences& never = SLVNeverAppsController::kDifferences;
// As the pane's own group footers.
constexpr float kFooterMargin = 20;
UIColor footerColor()
{
    return UIColor::colorWithRed(0.3f, 0.34f, 0.42f, 1);
}
}

std::shared_ptr<SLVRecentlyClosedController> SLVRecentlyClosedController::initForContentSize(Size size)
{
    return sv::makeSetUp(new SLVRecentlyClosedController, &SLVRecentlyClosedController::setUpForContentSize, size);
}

bool SLVRecentlyClosedController::setUpForContentSize(Size size)
{
    table_ = UITableView::initWithFrame({ 0, 0, size.width, size.height }, UITableViewStyle::Plain);
    if (!table_)
        return false;
    auto self = std::static_pointer_cast<SLVRecentlyClosedController>(shared_from_this());
    table_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    table_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    table_->setRowHeight(SLVRecentlyClosedCell::kHeight);
    table_->setSeparatorColor(UIColor::lightGrayColor());
    setTitle(navigationTitle());
    reloadRows();
    setView(table_);
    return PSViewController::setUpForContentSize(size);
}

void SLVRecentlyClosedController::reloadRows()
{
    static const sv::Dictionary kNoSettings;
    auto settings = slv::settingsSnapshot();
    rows_ = recentlyClosedRows(slv::history::read(), settings ? *settings : kNoSettings);
    if (table_) {
        showFooter();
        table_->reloadData();
    }
}

void SLVRecentlyClosedController::showFooter()
{
    float width = table_->bounds().width();
    auto footer = UIView::initWithFrame({ 0, 0, width, 0 });
    if (!footer)
        return;
    float y = 0;
    auto addLabel = [&](std::string text, const UIFont& font, float gap) {
        float textWidth = width - 2 * kFooterMargin;
        float height = sizeWithFont(text, font, { textWidth, 0 }, LineBreakMode::WordWrap).height;
        auto label = UILabel::initWithFrame({ kFooterMargin, y + gap, textWidth, height });
        if (!label)
            return;
        label->setBackgroundColor(UIColor::clearColor());
        label->setFont(font);
        label->setNumberOfLines(0);
        label->setLineBreakMode(LineBreakMode::WordWrap);
        label->setTextAlignment(TextAlignment::Center);
        label->setTextColor(footerColor());
        label->setText(std::move(text));
        footer->addSubview(label);
        y += gap + height;
    };
    if (rows_.empty())
        addLabel(kNothingClosed, UIFont::boldSystemFontOfSize(17), 40);
    addLabel("Keeps the newest " + std::to_string(slv::history::kLimit) + " closes.", UIFont::systemFontOfSize(14),
             rows_.empty() ? 8 : 10);
    footer->setFrame({ 0, 0, width, y + 10 });
    table_->setTableFooterView(std::move(footer));
}

long SLVRecentlyClosedController::numberOfSectionsInTableView(UITableView&)
{
    return 1;
}

long SLVRecentlyClosedController::numberOfRowsInSection(UITableView&, long section)
{
    return section == 0 ? static_cast<long>(rows_.size()) : 0;
}

std::shared_ptr<UITableViewCell> SLVRecentlyClosedController::cellForRowAtIndexPath(UITableView& tableView,
                                                                                   const NSIndexPath& indexPath)
{
    auto cell = std::dynamic_pointer_cast<SLVRecentlyClosedCell>(tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = SLVRecentlyClosedCell::initWithStyle(UITableViewCellStyle::Default, kCellIdentifier);
    if (!cell || indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= static_cast<long>(rows_.size()))
        return cell;
    const SLVRecentlyClosedRow& row = rows_[static_cast<std::size_t>(indexPath.row)];
    double now = slv::history::dateOf(sv::RunLoop::main().wallNow()).secondsSince2001;
    // An application the catalogue does not know shows the bundle's stand-in icon.
    auto icon = Image::fromFile(row.iconPath.empty() ? std::string(slv::path::MissingIcon) : row.iconPath);
    cell->setContent(std::move(icon), row.name, row.ago(now), row.detail(), row.isNever);
    cell->setSelectionStyle(row.isNever ? UITableViewCellSelectionStyle::None : UITableViewCellSelectionStyle::Blue);
    return cell;
}

void SLVRecentlyClosedController::didSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath)
{
    tableView.deselectRowAtIndexPath(indexPath, true);
    if (indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= static_cast<long>(rows_.size()))
        return;
    SLVRecentlyClosedRow row = rows_[static_cast<std::size_t>(indexPath.row)];
    // The lists as they are now: a chooser may have changed them since the screen was built.
    sv::Array neverList = slv::lists::stored(never.ownKey);
    if (slv::listContains(&neverList, row.bundleID) || refusedForTheAlwaysList(row.bundleID))
        return;
    confirming_ = row.bundleID;
    SLVAppListController::showConfirmation(never, isolated(row.name),
                                           std::static_pointer_cast<SLVRecentlyClosedController>(shared_from_this()),
                                           view(), kConfirmationTag);
}

void SLVRecentlyClosedController::clickedButtonAtIndex(UIActionSheet& actionSheet, long buttonIndex)
{
    if (buttonIndex == 0 && actionSheet.tag() == kConfirmationTag)
        addToNeverList();
    confirming_.reset();
}

void SLVRecentlyClosedController::viewDidAppear(bool animated)
{
    PSViewController::viewDidAppear(animated);
    if (suggested_)
        return;
    suggested_ = true;
    auto suggestion = neverSuggestion(rows_);
    if (!suggestion)
        return;
    auto alert = UIAlertView::initWithTitle(suggestion->name, suggestion->message(),
                                            std::static_pointer_cast<SLVRecentlyClosedController>(shared_from_this()),
                                            std::nullopt, { "Yes", "Cancel" });
    if (!alert)
        return;
    alert->setCancelButtonIndex(1);
    confirming_ = suggestion->bundleID;
    alert->show();
}

void SLVRecentlyClosedController::clickedButtonAtIndex(UIAlertView&, long buttonIndex)
{
    if (buttonIndex == 0 && confirming_ && !refusedForTheAlwaysList(*confirming_))
        addToNeverList();
    confirming_.reset();
}

// The Always list as it is now (another screen or process may have changed it since the screen
// was built): an application on it is refused as the Never chooser refuses it.
bool SLVRecentlyClosedController::refusedForTheAlwaysList(const std::string& bundleID)
{
    sv::Array alwaysList = slv::lists::stored(never.conflictingKey);
    if (!slv::listContains(&alwaysList, bundleID))
        return false;
    SLVAppListController::showErrorAlert(std::string(never.conflictMessage), "Error");
    return true;
}

void SLVRecentlyClosedController::addToNeverList()
{
    if (!confirming_)
        return;
    // The list as the file holds it now: a chooser may have changed it since the screen was built.
    sv::Array list = slv::lists::stored(never.ownKey);
    slv::lists::add(never.ownKey, list, *confirming_);
    reloadRows();
}
