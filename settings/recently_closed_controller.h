#pragma once
// The Recently Closed screen: the library's close history, newest first, with a footer saying
// how many closes it keeps (and, with none, that nothing was closed yet). A tap offers to put the
// application on the Never list, with the Never chooser's own confirmation and conflict alert;
// one already there is marked and a tap on it does nothing. On appearing, it offers the Never
// list for an application that keeps coming back soon after its closes.

#include "platform/prefs/view_controller.h"
#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/table_view.h"
#include "settings/recently_closed_rows.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class SLVRecentlyClosedController : public sv::prefs::PSViewController,
                                    public sv::ui::UITableViewDataSource,
                                    public sv::ui::UITableViewDelegate,
                                    public sv::ui::UIActionSheetDelegate,
                                    public sv::ui::UIAlertViewDelegate {
public:
    static constexpr int kConfirmationTag = 69692;
    static constexpr const char* kCellIdentifier = "RecentlyClosedCell";

    static std::shared_ptr<SLVRecentlyClosedController> initForContentSize(sv::ui::Size size);

    // Short enough for the bar beside the pane's back button.
    std::string navigationTitle() const override { return "History"; }
    std::shared_ptr<sv::ui::UIView> view() override { return table_; }

    const std::vector<SLVRecentlyClosedRow>& rows() const { return rows_; }
    // Reads the history and the settings file afresh.
    void reloadRows();

    long numberOfSectionsInTableView(sv::ui::UITableView& tableView) override;
    long numberOfRowsInSection(sv::ui::UITableView& tableView, long section) override;
    std::shared_ptr<sv::ui::UITableViewCell> cellForRowAtIndexPath(sv::ui::UITableView& tableView,
                                                                   const sv::ui::NSIndexPath& indexPath) override;
    void didSelectRowAtIndexPath(sv::ui::UITableView& tableView, const sv::ui::NSIndexPath& indexPath) override;
    void clickedButtonAtIndex(sv::ui::UIActionSheet& actionSheet, long buttonIndex) override;
    // The suggestion's alert: "Yes" (0) puts the application on the Never list.
    void clickedButtonAtIndex(sv::ui::UIAlertView& alertView, long buttonIndex) override;
    void viewDidAppear(bool animated) override;

protected:
    SLVRecentlyClosedController() = default;
    bool setUpForContentSize(sv::ui::Size size);

    static constexpr const char* kNothingClosed = "Nothing closed yet.";

private:
    void addToNeverList();
    bool refusedForTheAlwaysList(const std::string& bundleID);
    void showFooter();

    std::shared_ptr<sv::ui::UITableView> table_;
    std::vector<SLVRecentlyClosedRow> rows_;
    std::optional<std::string> confirming_; // the identifier the confirmation acts on
    bool suggested_ = false;                // the suggestion is offered once a visit
};
