#include "settings/app_list_controller.h"

#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/string_case.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/image.h"
#include "settings/app_cell.h"
#include "settings/app_delegate.h"

#include <algorithm>
#include <climits>
#include <map>

using namespace sv::ui;

namespace {
constexpr Rect kHudFrame { 60, 100, 200, 205 };
constexpr Rect kLoadingLabelFrame { 5, 164, 190, 20 };
constexpr Rect kLoadingBarFrame { 5, 185, 190, 25 };

struct LoadingStage {
    float progress;
    const char* text;
};
// By the number of progress notices received so far.
constexpr LoadingStage kStages[] = {
    { 0.1f, "Gathering Applications..." },
    { 0.25f, "Gathering Applications..." },
    { 0.4f, "Updating Database..." },
    { 0.6f, "Saving Icons..." },
    { 0.8f, "Cleaning Up..." },
    { 1.0f, "Finished!" },
};

const std::string* nameOf(const sv::Dictionary& entry)
{
    return sv::findString(entry, slv::key::AppName);
}

// The section letter of a name: its first character in title case; characters without case
// stay as they are.
std::string letterOf(std::string_view name)
{
    return sv::capitalizedString(sv::firstCharacter(name));
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

    identifiersArray.clear();
    if (auto stored = SLVAppDelegate::getObjectWithKey(differences_.ownKey, false))
        if (const sv::Array* list = stored->asArray())
            identifiersArray = *list;

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
    SLVAppDelegate::delayLoad();
    setView(appTable);
}

void SLVAppListController::waitingToLoadApps()
{
    if (appTable)
        appTable->setScrollEnabled(false);

    waitHud = UIProgressHUD::initWithFrame(kHudFrame);
    if (waitHud) {
        waitHud->setText("Please Wait... Loading Applications");
        waitHud->showInView(view());
        if (auto table = view())
            table->addSubview(waitHud);
    }

    loadingLabel = UILabel::initWithFrame(kLoadingLabelFrame);
    if (loadingLabel) {
        loadingLabel->setTextAlignment(TextAlignment::Center);
        loadingLabel->setBackgroundColor(UIColor::clearColor());
        loadingLabel->setTextColor(UIColor::whiteColor());
        loadingLabel->setText("Initializing...");
        if (waitHud)
            waitHud->addSubview(loadingLabel);
    }

    loadingView = UIProgressView::initWithProgressViewStyle(UIProgressViewStyle::Default);
    if (loadingView) {
        if (waitHud)
            waitHud->addSubview(loadingView);
        loadingView->setFrame(kLoadingBarFrame);
        loadingView->setProgress(0);
    }
}

void SLVAppListController::updateAppLoading()
{
    // Counted on past the stages, but never past the counter's range.
    if (AppLoading < INT32_MAX)
        ++AppLoading;
    if (AppLoading < 1 || AppLoading > static_cast<std::int32_t>(std::size(kStages)))
        return;
    const LoadingStage& stage = kStages[AppLoading - 1];
    if (loadingView)
        loadingView->setProgress(stage.progress);
    if (loadingLabel)
        loadingLabel->setText(stage.text);
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
    if (waitHud) {
        waitHud->done();
        waitHud->removeFromSuperview();
        waitHud.reset();
    }
    if (appTable)
        appTable->setScrollEnabled(true);
    loadingView.reset();
    loadingLabel.reset();
    if (appTable)
        appTable->reloadData();
}

void SLVAppListController::doneLoadingApps()
{
    auto settings = slv::settingsSnapshot();
    applicationsArray.clear();
    indexArray.clear();
    appNamesArray.clear();

    // Entries without a name have no place in an alphabetic list (nor anything to show), and
    // entries that are not records at all are skipped with them.
    if (const sv::Array* catalogue = settings ? sv::findArray(*settings, slv::key::ApplicationData) : nullptr) {
        for (const sv::Value& element : *catalogue) {
            const sv::Dictionary* entry = element.asDictionary();
            const std::string* name = entry ? nameOf(*entry) : nullptr;
            if (name && !name->empty())
                applicationsArray.push_back(*entry);
        }
    }

    // Letters sort by their bytes, which for UTF-8 is the order of the character codes.
    std::map<std::string, std::vector<std::size_t>> byLetter;
    for (std::size_t i = 0; i < applicationsArray.size(); ++i)
        byLetter[letterOf(*nameOf(applicationsArray[i]))].push_back(i);

    for (auto& [letter, members] : byLetter) {
        // Stable, so that equal names keep their catalogue order and an entry's duplicates
        // follow it within the run of its name.
        std::stable_sort(members.begin(), members.end(), [this](std::size_t a, std::size_t b) {
            return *nameOf(applicationsArray[a]) < *nameOf(applicationsArray[b]);
        });
        Section section { letter, {} };
        section.entries.reserve(members.size());
        std::size_t runStart = 0;
        for (std::size_t i : members) {
            const sv::Dictionary& entry = applicationsArray[i];
            if (runStart < section.entries.size()
                && *nameOf(applicationsArray[section.entries[runStart]]) != *nameOf(entry))
                runStart = section.entries.size();
            bool duplicate = std::any_of(section.entries.begin() + static_cast<std::ptrdiff_t>(runStart), section.entries.end(),
                                         [&](std::size_t kept) { return applicationsArray[kept] == entry; });
            if (!duplicate)
                section.entries.push_back(i);
        }
        indexArray.push_back(letter);
        appNamesArray.push_back(std::move(section));
    }
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
    auto conflicting = SLVAppDelegate::getObjectWithKey(differences_.conflictingKey, false);
    const std::string* identifier = sv::findString(entry, slv::key::BundleID);
    if (identifier && slv::listContains(conflicting ? conflicting->asArray() : nullptr, *identifier)) {
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
    if (lock) {
        // Two confirmations for one application must not store it twice.
        if (!slv::listContains(&identifiersArray, *bundleID)) {
            identifiersArray.push_back(slv::identifierEntry(*bundleID));
            saveIdentifiers();
        }
    } else {
        // Every entry of the identifier goes, duplicates included.
        auto removed = std::erase_if(identifiersArray, [this](const sv::Value& element) {
            const std::string* identifier = slv::entryBundleID(element);
            return identifier && *identifier == *bundleID;
        });
        if (removed > 0)
            saveIdentifiers();
    }
    if (appTable)
        appTable->reloadData();
}

void SLVAppListController::saveIdentifiers()
{
    SLVAppDelegate::writeDictToSave(sv::Dictionary { { std::string(differences_.ownKey), sv::Value(identifiersArray) } });
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
