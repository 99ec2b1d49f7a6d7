#pragma once
// The Settings application stand-in: a navigation stack whose root lists the pane's entry, the
// scenario commands that drive it like a finger would, and the events it prints.

#include "hosts/common/scenario.h"
#include "platform/foundation/value.h"
#include "platform/prefs/list_controller.h"
#include "platform/ui/alert_panel.h"
#include "platform/ui/navigation_controller.h"
#include "platform/ui/slider.h"
#include "platform/ui/table_view.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace prefs_host {

class SettingsApp {
public:
    // The pane's bundle and its entry in the Settings list.
    static constexpr const char* kBundle = "/System/Library/PreferenceBundles/SleepvaneSettings.bundle";
    static constexpr const char* kEntry = "Sleepvane";

    explicit SettingsApp(sv::host::Scenario& scenario);
    ~SettingsApp();
    SettingsApp(const SettingsApp&) = delete;
    SettingsApp& operator=(const SettingsApp&) = delete;
    void addCommands();

private:
    using Words = sv::host::Scenario::Words;
    using Result = std::optional<std::string>;

    Result open();
    // A chooser from the pane's link rows ("never" or "always"), opening the pane first if need be.
    Result openChooser(const std::string& which);
    Result drag(const Words& words, bool fromPoint);
    Result lift();
    Result cancel();
    Result back();
    Result tap(const std::string& row);
    Result tapApplication(sv::ui::UITableView& table, const std::string& name);
    Result index(const std::string& letter);
    Result answer(const std::string& button);
    Result waitLoaded(double limit);
    Result scroll(double points);
    Result snapshot(const std::string& file);
    void show();
    void showTable(sv::ui::UITableView& table);

    std::shared_ptr<sv::ui::UIViewController> top() const;
    // The top screen's table, when its view is one.
    std::shared_ptr<sv::ui::UITableView> topTable() const;
    std::shared_ptr<sv::ui::UISlider> findSlider() const;
    void cancelTouch();

    // Events for what changed since the last look: saves of the settings file, label texts,
    // slider values, views shown or hidden.
    void reportChanges();
    void reportSettingsFile(bool announce);
    void reportTable();
    void reportAlerts();

    sv::host::Scenario& scenario_;
    std::shared_ptr<sv::prefs::PSListController> home_;
    std::shared_ptr<sv::ui::UINavigationController> navigation_;
    bool bundleLoaded_ = false;

    std::optional<sv::ui::UITouch> touch_;
    std::weak_ptr<sv::ui::UIControl> touched_;

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
