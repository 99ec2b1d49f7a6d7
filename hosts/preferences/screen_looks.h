#pragma once
// How the Settings host puts what a screen shows into words: the whole screen for `show`, table
// rows as they are drawn, the loading overlay, alerts and sheets.

#include "platform/ui/alert_panel.h"
#include "platform/ui/progress_hud.h"
#include "platform/ui/table_view.h"
#include "platform/ui/view_controller.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace prefs_host {

std::string quoted(const std::string& text);
std::string number(double value);

// Visits a view and its subviews, depth first; a visit answering false skips that view's subviews.
void walkViews(const std::shared_ptr<sv::ui::UIView>& view,
               const std::function<bool(const std::shared_ptr<sv::ui::UIView>&)>& visit);

// A screen's table, when its view is one.
std::shared_ptr<sv::ui::UITableView> tableOf(const std::shared_ptr<sv::ui::UIViewController>& controller);

// The lines of `show`: the screen's title, its alerts and sheets, then on a chooser its overlay,
// sections, rows and index, on a list its groups and rows with their controls, elsewhere its labels.
void describeScreen(sv::ui::UIViewController& controller, const std::function<void(const std::string&)>& line);

// What a row draws: its first text, whether an image fills a rectangle (the icon) and the file
// of an image drawn at its natural size (a mark). Rows not on screen are configured for the look.
struct RowLook {
    std::string name;
    std::vector<std::string> more; // the texts drawn after the name, in drawing order
    bool icon = false;
    std::string mark; // the image file's name, empty for none
};
RowLook lookOfRow(sv::ui::UITableView& table, const sv::ui::NSIndexPath& indexPath);
// "Radio", mark SLVNever.png   /   "Mail", "5 min ago", "Low memory · 124 MB free"
std::string describeRow(const RowLook& look);

// The progress panel in a view's tree, or null.
std::shared_ptr<sv::ui::UIProgressHUD> findOverlay(const std::shared_ptr<sv::ui::UIView>& root);
// "Cleaning Up..." 0.8: the panel's step text (its label, else its own text) and its bar.
std::string describeOverlay(const sv::ui::UIProgressHUD& overlay);

// alert "Error" "..." buttons "Dismiss" / sheet "..." buttons "Yes", "Cancel" (destructive)
std::string describePanel(const sv::ui::AlertPanel& panel);

} // namespace prefs_host
