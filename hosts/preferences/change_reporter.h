#pragma once
// The Settings host's change events: what changed since the last look at the top screen and the
// settings file, each change one event line.

#include "hosts/common/scenario.h"
#include "platform/foundation/value.h"
#include "platform/ui/alert_panel.h"
#include "platform/ui/table_view.h"
#include "platform/ui/view_controller.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace prefs_host {

class ChangeReporter {
public:
    explicit ChangeReporter(sv::host::Scenario& scenario);

    // Takes the settings file as it is now without a word, so that only later saves are told.
    void noteSettingsFile() { reportSettingsFile(false); }
    // Saves of the settings file, label texts, slider values, views shown or hidden, the table's
    // overlay, size and scrolling, and alerts that came or went, on the given top screen.
    void reportChanges(const std::shared_ptr<sv::ui::UIViewController>& top);

private:
    void reportSettingsFile(bool announce);
    void reportTable(const std::shared_ptr<sv::ui::UIViewController>& top);
    void reportAlerts();
    void reportViews(const std::shared_ptr<sv::ui::UIViewController>& top);

    sv::host::Scenario& scenario_;

    struct Seen {
        std::weak_ptr<sv::ui::UIView> view;
        bool visible = false;
        std::string text;
        float value = 0;
    };
    std::map<const sv::ui::UIView*, Seen> seen_;
    struct FileStamp {
        bool exists = false;
        unsigned long long inode = 0;
        long long modified = 0;
        long long size = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };
    FileStamp settingsStamp_;
    sv::Dictionary settings_;

    // The table screen last looked at: its overlay, its size and where it was scrolled to.
    struct TableSeen {
        std::weak_ptr<sv::ui::UITableView> table;
        std::string overlay; // empty: none
        long sections = -1;
        long rows = -1;
        float offset = 0;
    };
    TableSeen tableSeen_;
    std::vector<std::weak_ptr<sv::ui::AlertPanel>> alertsSeen_;
};

} // namespace prefs_host
