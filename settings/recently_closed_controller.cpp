#include "settings/recently_closed_controller.h"

#include "platform/foundation/make_set_up.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/image.h"
#include "settings/identifier_lists.h"
#include "settings/never_apps_controller.h"
#include "settings/recently_closed_cell.h"

#include <chrono>

using namespace sv::ui;

namespace {
const SLVAppListDifferences& never = SLVNeverAppsController::kDifferences;
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
    rows_ = recentlyClosedRows(slv::history::read(), slv::readSettings().value_or(sv::Dictionary {}));
    if (table_)
        table_->reloadData();
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
    cell->setContent(std::move(icon), row.name, howLongAgo(now - row.record.date.secondsSince2001), row.detail(),
                     row.isNever);
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
    if (slv::listContains(&neverList, row.bundleID))
        return;
    sv::Array alwaysList = slv::lists::stored(never.conflictingKey);
    if (slv::listContains(&alwaysList, row.bundleID)) {
        SLVAppListController::showErrorAlert(std::string(never.conflictMessage), "Error");
        return;
    }
    confirming_ = row.bundleID;
    SLVAppListController::showConfirmation(never, row.name,
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
    if (buttonIndex == 0) {
        // The lists as they are now: the Always list may have taken it meanwhile.
        sv::Array alwaysList = slv::lists::stored(never.conflictingKey);
        if (confirming_ && !slv::listContains(&alwaysList, *confirming_))
            addToNeverList();
    }
    confirming_.reset();
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
