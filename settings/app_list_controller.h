#pragma once
// What the Never and Always choosers share: the catalogue request and the loading overlay, the
// alphabetic table with its index, the rows, the tap and the save of the screen's own list.
// The two are this class with their own table of differences; Recently Closed borrows its
// alerts and, through identifier_lists.h, its way of adding to the Never list.

#include "platform/foundation/make_set_up.h"
#include "platform/foundation/value.h"
#include "platform/prefs/view_controller.h"
#include "platform/ui/action_sheet.h"
#include "platform/ui/table_view.h"
#include "settings/chooser_sections.h"
#include "settings/loading_overlay.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Everything in which the two screens differ.
struct SLVAppListDifferences {
    std::string_view title;
    // The screen's own list, loaded at creation and saved after each change.
    std::string_view ownKey;
    // The other screen's list, read at every tap to refuse its applications.
    std::string_view conflictingKey;
    std::string_view conflictMessage;
    // "%@" stands for the application's name.
    std::string_view confirmationFormat;
    // Which mark the screen's listed applications show (true: the always-close mark).
    bool isCustom;
};

class SLVAppListController : public sv::prefs::PSViewController,
                             public sv::ui::UITableViewDataSource,
                             public sv::ui::UITableViewDelegate,
                             public sv::ui::UIActionSheetDelegate {
public:
    static constexpr int kConfirmationTag = 69691;
    static constexpr const char* kCellIdentifier = "AppCell";
    // Re-reads of the catalogue a screen may spend in its whole life.
    static constexpr std::int32_t kRereadBudget = 10;

    using Section = SLVAppSection;

    ~SLVAppListController() override;

    const SLVAppListDifferences& differences() const { return differences_; }

    // The table is the screen's view.
    std::shared_ptr<sv::ui::UIView> view() override;
    std::string navigationTitle() const override { return std::string(differences_.title); }

    // Loading.
    void startRunningTable();
    void waitingToLoadApps();
    // One progress notice: the bar and the text move one stage on.
    void updateAppLoading();
    // The completion notice: read the catalogue, re-reading within the budget, then show it.
    void checkApps();
    void finishTableInit();
    // Reads the catalogue afresh and builds the sections.
    void doneLoadingApps();
    // A one-button ("Dismiss") alert.
    void errorAlert(const std::string& message, const std::string& title) { showErrorAlert(message, title); }
    static void showErrorAlert(const std::string& message, const std::string& title);
    // The screen's "Yes"/"Cancel" question for an application, shown in view.
    static void showConfirmation(const SLVAppListDifferences& differences, const std::string& name,
                                 std::weak_ptr<sv::ui::UIActionSheetDelegate> delegate,
                                 const std::shared_ptr<sv::ui::UIView>& view, int tag);

    // The catalogue entry of a row; null for a row that does not exist.
    const sv::Dictionary* entryForRowAtIndexPath(const sv::ui::NSIndexPath& indexPath) const;

    // Table data source.
    long numberOfSectionsInTableView(sv::ui::UITableView& tableView) override;
    long numberOfRowsInSection(sv::ui::UITableView& tableView, long section) override;
    std::shared_ptr<sv::ui::UITableViewCell> cellForRowAtIndexPath(sv::ui::UITableView& tableView,
                                                                   const sv::ui::NSIndexPath& indexPath) override;
    std::optional<std::string> titleForHeaderInSection(sv::ui::UITableView& tableView, long section) override;
    std::vector<std::string> sectionIndexTitlesForTableView(sv::ui::UITableView& tableView) override;
    long sectionForSectionIndexTitle(sv::ui::UITableView& tableView, const std::string& title, long index) override;

    // A tap on a row: refused when the application is on the other list, else applicationsAlert.
    void didSelectRowAtIndexPath(sv::ui::UITableView& tableView, const sv::ui::NSIndexPath& indexPath) override;
    // Removes an application of the own list at once; asks before adding any other.
    void applicationsAlert(const sv::Dictionary& entry);
    // The confirmation's answer: "Yes" (0) adds.
    void clickedButtonAtIndex(sv::ui::UIActionSheet& actionSheet, long buttonIndex) override;
    // Adds bundleID to the own list (or removes every entry of it), saves, and redraws the marks.
    void willLockApplication(bool lock);

    std::shared_ptr<sv::ui::UITableView> appTable;
    // The application the confirmation acts on.
    std::optional<std::string> bundleID;
    std::vector<std::string> indexArray;
    std::vector<Section> appNamesArray;
    std::vector<sv::Dictionary> applicationsArray;
    sv::Array identifiersArray;
    // Over the table until the catalogue is shown.
    SLVLoadingOverlay loading;
    std::int32_t TestApps = 0;
    std::int32_t AppLoading = 0;

    // popAllControllers of a screen class: pops the Settings application's screens while the top
    // one is of Kind (never its navigation root).
    template <class Kind>
    static void popAllOf()
    {
        popWhileTopIs([](const sv::ui::UIViewController& c) { return dynamic_cast<const Kind*>(&c) != nullptr; });
    }

protected:
    explicit SLVAppListController(const SLVAppListDifferences& differences) : differences_(differences) { }
    // Creation: everything up to the first catalogue request, then the base initialiser. False
    // when the base gives nothing.
    bool setUpForContentSize(sv::ui::Size size);

private:
    static void popWhileTopIs(bool (*isKind)(const sv::ui::UIViewController&));

    const SLVAppListDifferences& differences_;
};

// One chooser screen's class: Screen names its differences (Screen::kDifferences).
template <class Screen>
class SLVAppListScreen : public SLVAppListController {
public:
    // Null when the base initialiser gives nothing (the catalogue was asked for all the same).
    static std::shared_ptr<Screen> initForContentSize(sv::ui::Size size)
    {
        return sv::makeSetUp(new Screen, &Screen::setUpForContentSize, size);
    }

    // Pops the Settings application's screens while the top one is a screen of this class.
    static void popAllControllers() { popAllOf<Screen>(); }

protected:
    SLVAppListScreen() : SLVAppListController(Screen::kDifferences) { }
};
