#pragma once
// The Settings application stand-in: a navigation stack whose root lists the pane's entry, and
// the scenario commands that drive it like a finger would. What they change is told by the
// ChangeReporter; `show` is put into words by the screen looks.

#include "hosts/common/scenario.h"
#include "hosts/preferences/change_reporter.h"
#include "platform/prefs/list_controller.h"
#include "platform/ui/navigation_controller.h"
#include "platform/ui/slider.h"
#include "platform/ui/table_view.h"

#include <memory>
#include <optional>
#include <string>

namespace prefs_host {

class SettingsApp {
public:
    // The pane's entry in the Settings list.
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
    // A screen from the pane's link rows ("never", "always" or "recent"), opening the pane first if
    // need be.
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

    std::shared_ptr<sv::ui::UIViewController> top() const;
    // The top screen's table, when its view is one.
    std::shared_ptr<sv::ui::UITableView> topTable() const;
    std::shared_ptr<sv::ui::UISlider> findSlider() const;
    void cancelTouch();

    // Events for what changed since the last look.
    void reportChanges();

    sv::host::Scenario& scenario_;
    ChangeReporter reporter_;
    std::shared_ptr<sv::prefs::PSListController> home_;
    std::shared_ptr<sv::ui::UINavigationController> navigation_;
    bool bundleLoaded_ = false;

    std::optional<sv::ui::UITouch> touch_;
    std::weak_ptr<sv::ui::UIControl> touched_;
};

} // namespace prefs_host
