#include "settings/app_list_controller.h"

#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/image.h"
#include "settings/app_cell.h"
#include "settings/identifier_lists.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <climits>

using namespace sv::ui;

namespace {
const std::string* nameOf(const sv::Dictionary& entry)
{
    return sv::findString(entry, slv::key::AppName);
}

std::string formatWithName(std::string_view format, const std::string& name)
{
    std::string text(format);
    if (auto at = text.find("%@"); at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}
}

SLVAppListController::~SLVAppListController()
{
    auto& center = sv::NotificationCenter::defaultCenter();
    center.removeObserver(this, slv::local::CheckOnAppLoading);
    center.removeObserver(this, slv::local::CheckOnApps);
}

bool SLVAppListController::setUpForContentSize(Size size)
{
    indexArray.clear();
    appNamesArray.clear();
    applicationsArray.clear();
    TestApps = 0;
    AppLoading = 0;

    // The notices may arrive while the screen is being popped: hold it through each.
    std::weak_ptr<SLVAppListController> weak = std::static_pointer_cast<SLVAppListController>(shared_from_this());
    auto& center = sv::NotificationCenter::defaultCenter();
    center.addObserver(this, std::string(slv::local::CheckOnApps), [weak](const sv::Notification&) {
        if (auto self = weak.lock())
            self->checkApps();
    });
    center.addObserver(this, std::string(slv::local::CheckOnAppLoading), [weak](const sv::Notification&) {
        if (auto self = weak.lock())
            self->updateAppLoading();
    });

    identifiersArray = slv::lists::stored(differences_.ownKey);

    appTable = UITableView::initWithFrame({ 0, 0, size.width, size.height }, UITableViewStyle::Plain);
    if (appTable) {
        appTable->setDelegate(weak);
        appTable->setDataSource(weak);
        appTable->setSeparatorColor(UIColor::clearColor());
    }
    setTitle(navigationTitle());
    startRunningTable();
    return PSViewController::setUpForContentSize(size);
}

std::shared_ptr<UIView> SLVAppListController::view()
{
    return appTable;
}

void SLVAppListController::startRunningTable()
{
    waitingToLoadApps();
    slv::store::delayLoad();
    setView(appTable);
}

void SLVAppListController::waitingToLoadApps()
{
    if (appTable)
        appTable->setScrollEnabled(false);

    loading = SLVLoadingOverlay::showIn(view());
}

void SLVAppListController::updateAppLoading()
{
    // Counted on past the stages, but never past the counter's range.
    if (AppLoading < INT32_MAX)
        ++AppLoading;
    loading.showStage(AppLoading);
}

void SLVAppListController::checkApps()
{
    // Up to the budget's re-reads, back to back: the export has finished, the file should be
    // there.
    for (;;) {
        doneLoadingApps();
        if (!applicationsArray.empty()) {
            finishTableInit();
            return;
        }
        if (TestApps >= kRereadBudget)
            break;
        ++TestApps;
    }
    finishTableInit();
    errorAlert("Applications could not be loaded, please try again.", "Loading Error");
}

void SLVAppListController::finishTableInit()
{
    if (appTable)
        appTable->setSeparatorColor(UIColor::lightGrayColor());
    loading.dismiss();
    if (appTable)
        appTable->setScrollEnabled(true);
    if (appTable)
        appTable->reloadData();
}

void SLVAppListController::doneLoadingApps()
{
    SLVAppSections built = buildAppSections(slv::settingsSnapshot().get());
    applicationsArray = std::move(built.applications);
    indexArray = std::move(built.letters);
    appNamesArray = std::move(built.sections);
}

void SLVAppListController::showErrorAlert(const std::string& message, const std::string& title)
{
    if (auto alert = UIAlertView::initWithTitle(title, message, {}, std::string("Dismiss"), {}))
        alert->show();
}

const sv::Dictionary* SLVAppListController::entryForRowAtIndexPath(const NSIndexPath& indexPath) const
{
    if (indexPath.section < 0 || indexPath.section >= static_cast<long>(appNamesArray.size()))
        return nullptr;
    const auto& entries = appNamesArray[static_cast<std::size_t>(indexPath.section)].entries;
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(entries.size()))
        return nullptr;
    return &applicationsArray[entries[static_cast<std::size_t>(indexPath.row)]];
}

long SLVAppListController::numberOfSectionsInTableView(UITableView&)
{
    return static_cast<long>(indexArray.size());
}

long SLVAppListController::numberOfRowsInSection(UITableView&, long section)
{
    if (section < 0 || section >= static_cast<long>(appNamesArray.size()))
        return 0;
    return static_cast<long>(appNamesArray[static_cast<std::size_t>(section)].entries.size());
}

std::optional<std::string> SLVAppListController::titleForHeaderInSection(UITableView&, long section)
{
    if (section < 0 || section >= static_cast<long>(indexArray.size()))
        return std::nullopt;
    return indexArray[static_cast<std::size_t>(section)];
}

std::vector<std::string> SLVAppListController::sectionIndexTitlesForTableView(UITableView&)
{
    std::vector<std::string> letters;
    for (char c = 'A'; c <= 'Z'; ++c)
        letters.emplace_back(1, c);
    return letters;
}

long SLVAppListController::sectionForSectionIndexTitle(UITableView&, const std::string& title, long)
{
    auto found = std::find(indexArray.begin(), indexArray.end(), title);
    return found == indexArray.end() ? sv::ui::NSNotFound : static_cast<long>(found - indexArray.begin());
}

std::shared_ptr<UITableViewCell> SLVAppListController::cellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath)
{
    auto cell = std::dynamic_pointer_cast<AppCell>(tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = AppCell::initWithStyle(UITableViewCellStyle::Default, kCellIdentifier);
    const sv::Dictionary* entry = entryForRowAtIndexPath(indexPath);
    if (!cell || !entry)
        return cell;

    const std::string* name = nameOf(*entry);
    cell->setAppName(name ? std::optional<std::string>(*name) : std::nullopt);
    // Read from its file every time: the export may have drawn it anew.
    const std::string* iconPath = sv::findString(*entry, slv::key::IconPath);
    cell->setAppIcon(iconPath ? Image::fromFile(*iconPath) : nullptr);
    cell->setIsLocked(false);
    if (const std::string* identifier = sv::findString(*entry, slv::key::BundleID)) {
        if (slv::listContains(&identifiersArray, *identifier)) {
            cell->setIsCustom(differences_.isCustom);
            cell->setIsLocked(true);
        }
    }
    cell->setSelectionStyle(UITableViewCellSelectionStyle::Blue);
    return cell;
}

void SLVAppListController::didSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath)
{
    tableView.deselectRowAtIndexPath(indexPath, true);
    const sv::Dictionary* found = entryForRowAtIndexPath(indexPath);
    if (!found)
        return;
    // A copy: what follows may read the catalogue again.
    sv::Dictionary entry = *found;
    sv::Array conflicting = slv::lists::stored(differences_.conflictingKey);
    const std::string* identifier = sv::findString(entry, slv::key::BundleID);
    if (identifier && slv::listContains(&conflicting, *identifier)) {
        errorAlert(std::string(differences_.conflictMessage), "Error");
        return;
    }
    applicationsAlert(entry);
}

void SLVAppListController::applicationsAlert(const sv::Dictionary& entry)
{
    const std::string* identifier = sv::findString(entry, slv::key::BundleID);
    bundleID = identifier ? std::optional<std::string>(*identifier) : std::nullopt;
    // Without an identifier there is nothing a list could hold.
    if (!bundleID)
        return;
    if (slv::listContains(&identifiersArray, *bundleID)) {
        willLockApplication(false);
        return;
    }
    const std::string* name = nameOf(entry);
    showConfirmation(differences_, name ? *name : std::string(),
                     std::static_pointer_cast<SLVAppListController>(shared_from_this()), view(), kConfirmationTag);
}

void SLVAppListController::showConfirmation(const SLVAppListDifferences& differences, const std::string& name,
                                            std::weak_ptr<UIActionSheetDelegate> delegate,
                                            const std::shared_ptr<UIView>& view, int tag)
{
    auto sheet = UIActionSheet::initWithTitle(formatWithName(differences.confirmationFormat, name), std::move(delegate),
                                              std::nullopt, std::nullopt, { "Yes", "Cancel" });
    if (!sheet)
        return;
    sheet->setActionSheetStyle(UIActionSheetStyle::BlackTranslucent);
    sheet->setTag(tag);
    // "Cancel" is the button drawn red.
    sheet->setDestructiveButtonIndex(1);
    sheet->showInView(view);
}

void SLVAppListController::clickedButtonAtIndex(UIActionSheet& actionSheet, long buttonIndex)
{
    if (buttonIndex == 0 && actionSheet.tag() == kConfirmationTag)
        willLockApplication(true);
}

void SLVAppListController::willLockApplication(bool lock)
{
    if (!bundleID)
        return;
    // The list read when the screen opened, kept up to date by its own changes.
    if (lock)
        slv::lists::add(differences_.ownKey, identifiersArray, *bundleID);
    else
        slv::lists::remove(differences_.ownKey, identifiersArray, *bundleID);
    if (appTable)
        appTable->reloadData();
}

void SLVAppListController::popWhileTopIs(bool (*isKind)(const UIViewController&))
{
    auto navigation = UIApplication::sharedApplication().rootController();
    if (!navigation)
        return;
    while (auto top = navigation->topViewController()) {
        if (!isKind(*top) || !navigation->popViewControllerAnimated(false))
            break;
    }
}
