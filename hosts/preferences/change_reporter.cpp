#include "hosts/preferences/change_reporter.h"

#include "hosts/preferences/screen_looks.h"

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/prefs/table_cell.h"
#include "platform/ui/application.h"
#include "platform/ui/label.h"
#include "platform/ui/slider.h"

#include <algorithm>
#include <sys/stat.h>

using namespace sv::ui;
using sv::prefs::PSTableCell;

namespace prefs_host {
namespace {
    std::string describe(const sv::Value& value)
    {
        const auto& storage = value.storage();
        if (auto* text = std::get_if<std::string>(&storage))
            return quoted(*text);
        if (auto* flag = std::get_if<bool>(&storage))
            return *flag ? "true" : "false";
        if (auto* integer = std::get_if<std::int64_t>(&storage))
            return std::to_string(*integer);
        if (auto* real = std::get_if<double>(&storage))
            return number(*real);
        if (auto* list = std::get_if<sv::Array>(&storage))
            return "[" + std::to_string(list->size()) + " entries]";
        if (auto* dictionary = std::get_if<sv::Dictionary>(&storage))
            return "{" + std::to_string(dictionary->size()) + " keys}";
        return "(data)";
    }

    // The row a view belongs to: its cell's specifier identifier, or "-".
    std::string rowOf(const UIView* view)
    {
        for (const UIView* v = view; v; v = v->superview())
            if (auto* cell = dynamic_cast<const PSTableCell*>(v))
                return cell->specifier()->identifier();
        return "-";
    }

    bool insideCell(const UIView* view)
    {
        return rowOf(view) != "-";
    }

    bool isCellTitle(const UIView* view)
    {
        auto* cell = view->superview() ? dynamic_cast<const PSTableCell*>(view->superview()) : nullptr;
        return cell && cell->textLabel().get() == view;
    }
}

ChangeReporter::ChangeReporter(sv::host::Scenario& scenario) : scenario_(scenario) { }

void ChangeReporter::reportChanges(const std::shared_ptr<UIViewController>& top)
{
    reportSettingsFile(true);
    reportTable(top);
    reportAlerts();
    if (top)
        reportViews(top);
}

void ChangeReporter::reportTable(const std::shared_ptr<UIViewController>& top)
{
    auto table = tableOf(top);
    if (!table) {
        tableSeen_ = {};
        return;
    }
    TableSeen now { table, {}, table->numberOfSections(), 0, table->contentOffset().y };
    for (long s = 0; s < now.sections; ++s)
        now.rows += table->numberOfRowsInSection(s);
    if (auto overlay = findOverlay(table))
        now.overlay = describeOverlay(*overlay);
    bool known = tableSeen_.table.lock() == table;
    if (now.overlay != (known ? tableSeen_.overlay : std::string()))
        scenario_.event(now.overlay.empty() ? "overlay gone" : "overlay " + now.overlay);
    if (!known || now.sections != tableSeen_.sections || now.rows != tableSeen_.rows)
        scenario_.event("table " + std::to_string(now.sections) + " sections, " + std::to_string(now.rows) + " rows");
    if (known && now.offset != tableSeen_.offset) {
        // The section whose header stands at the top.
        std::string at;
        for (long s = 0; s < now.sections; ++s)
            if (table->rectForSection(s).maxY() > now.offset) {
                at = " " + quoted(table->titleForHeaderInSection(s).value_or(""));
                break;
            }
        scenario_.event("scrolled " + number(now.offset) + at);
    }
    tableSeen_ = std::move(now);
}

void ChangeReporter::reportAlerts()
{
    const auto& visible = UIApplication::sharedApplication().visibleAlerts();
    std::erase_if(alertsSeen_, [&](const std::weak_ptr<AlertPanel>& seen) {
        auto panel = seen.lock();
        if (panel && std::find(visible.begin(), visible.end(), panel) != visible.end())
            return false;
        if (panel)
            scenario_.event("gone " + quoted(panel->title()));
        return true;
    });
    for (const auto& panel : visible) {
        bool seen = std::any_of(alertsSeen_.begin(), alertsSeen_.end(), [&](const auto& w) { return w.lock() == panel; });
        if (!seen) {
            alertsSeen_.push_back(panel);
            scenario_.event(describePanel(*panel));
        }
    }
}

void ChangeReporter::reportSettingsFile(bool announce)
{
    // Every save replaces the file, so a new inode (or time, or size) means a new save.
    FileStamp stamp;
    struct stat info {};
    std::string path = sv::fs::resolve(slv::settingsPath());
    if (!path.empty() && ::stat(path.c_str(), &info) == 0) {
        stamp = { true, static_cast<unsigned long long>(info.st_ino),
                  static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec,
                  static_cast<long long>(info.st_size) };
    }
    if (stamp == settingsStamp_)
        return;
    settingsStamp_ = stamp;
    sv::Dictionary now = stamp.exists ? slv::readSettings().value_or(sv::Dictionary {}) : sv::Dictionary {};
    std::vector<std::string> changes;
    for (const auto& [key, value] : now) {
        const sv::Value* before = sv::find(settings_, key);
        if (!before || !(*before == value))
            changes.push_back(key + " " + describe(value));
    }
    settings_ = std::move(now);
    if (!announce || !stamp.exists)
        return;
    if (changes.empty())
        scenario_.event("saved unchanged");
    for (const auto& change : changes)
        scenario_.event("saved " + change);
}

void ChangeReporter::reportViews(const std::shared_ptr<UIViewController>& top)
{
    walkViews(top->view(), [&](const std::shared_ptr<UIView>& view) {
        const UIView* key = view.get();
        auto found = seen_.find(key);
        bool known = found != seen_.end() && found->second.view.lock() == view;
        Seen now { view, !view->isHidden() && view->alpha() > 0, {}, 0 };
        auto label = std::dynamic_pointer_cast<UILabel>(view);
        auto slider = std::dynamic_pointer_cast<UISlider>(view);
        if (label)
            now.text = label->text();
        if (slider)
            now.value = slider->value();
        std::string row = rowOf(key);
        if (label && insideCell(key) && !isCellTitle(key) && (!known || found->second.text != now.text))
            scenario_.event("label " + row + " " + quoted(now.text));
        if (slider && (!known || found->second.value != now.value))
            scenario_.event("slider " + row + " " + number(now.value));
        if (known && found->second.visible != now.visible)
            scenario_.event(std::string(now.visible ? "shown " : "hidden ") + row + " " + std::string(view->className()));
        seen_[key] = std::move(now);
        return true;
    });
    // Forget views that are gone.
    std::erase_if(seen_, [](const auto& entry) { return entry.second.view.expired(); });
}

} // namespace prefs_host
