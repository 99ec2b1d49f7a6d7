#include "hosts/preferences/settings_app.h"

#include "hosts/preferences/screen_looks.h"

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/prefs/controller_registry.h"
#include "platform/ui/application.h"
#include "platform/ui/cairo_context.h"
#include "platform/ui/image.h"
#include "platform/ui/label.h"
#include "platform/ui/switch.h"
#include "platform/ui/view_renderer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

using namespace sv::ui;
using sv::prefs::PSCellType;
using sv::prefs::PSListController;
using sv::prefs::PSSpecifier;
using sv::prefs::PSTableCell;

namespace prefs_host {
namespace {
    constexpr float kSnapshotScale = 2;
    constexpr double kDefaultLoadingLimit = 10;

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

    void walk(const std::shared_ptr<UIView>& view, const std::function<void(const std::shared_ptr<UIView>&)>& visit)
    {
        visit(view);
        auto children = view->subviews();
        for (const auto& child : children)
            walk(child, visit);
    }

    Point centre(const Rect& r)
    {
        return { r.midX(), r.midY() };
    }
}

SettingsApp::SettingsApp(sv::host::Scenario& scenario) : scenario_(scenario)
{
    home_ = PSListController::initForContentSize(UIViewController::kContentSize);
    home_->setTitle("Settings");
    auto group = PSSpecifier::preferenceSpecifierNamed("", PSCellType::Group);
    auto entry = PSSpecifier::preferenceSpecifierNamed(kEntry, PSCellType::Link);
    entry->setTarget(home_);
    home_->setSpecifiers({ group, entry });

    navigation_ = UINavigationController::initWithRootViewController(home_);
    navigation_->setObserver([this](UINavigationController::Change change, UIViewController& controller) {
        // A screen that goes away takes the finger's touch with it.
        if (change == UINavigationController::Change::Popped && touch_)
            cancelTouch();
        scenario_.event(std::string(change == UINavigationController::Change::Pushed ? "pushed " : "popped ")
                        + std::string(controller.className()));
    });
    UIApplication::sharedApplication().setRootController(navigation_);
    navigation_->view()->layoutIfNeeded();

    auto& center = sv::NotificationCenter::defaultCenter();
    for (std::string_view name : { slv::local::CheckOnApps, slv::local::CheckOnAppLoading })
        center.addObserver(this, std::string(name),
                           [this](const sv::Notification& note) { scenario_.event("notified " + note.name); });
    reportSettingsFile(false);
}

SettingsApp::~SettingsApp()
{
    sv::NotificationCenter::defaultCenter().removeObserver(this);
    navigation_->setObserver(nullptr);
    if (UIApplication::sharedApplication().rootController() == navigation_)
        UIApplication::sharedApplication().setRootController(nullptr);
}

void SettingsApp::addCommands()
{
    // Every command ends with a look at what it changed.
    auto add = [this](std::string name, std::string usage, std::function<Result(const Words&)> handler) {
        scenario_.addCommand(std::move(name), std::move(usage), [this, handler](const Words& words) {
            Result result = handler(words);
            reportChanges();
            return result;
        });
    };
    // Commands without arguments.
    auto plain = [add](std::string name, std::function<Result()> action) {
        add(name, name, [name, action](const Words& words) -> Result {
            if (words.size() != 1)
                return name + " takes no arguments";
            return action();
        });
    };

    add("open", "open [never|always]", [this](const Words& w) -> Result {
        if (w.size() == 1)
            return open();
        if (w.size() == 2 && (w[1] == "never" || w[1] == "always"))
            return openChooser(w[1]);
        return "open takes nothing (the pane), never or always";
    });
    add("drag", "drag <value> [hold]", [this](const Words& w) { return drag(w, false); });
    add("drag-from", "drag-from <x> <value> [hold]", [this](const Words& w) { return drag(w, true); });
    plain("lift", [this] { return lift(); });
    plain("cancel", [this] { return cancel(); });
    plain("back", [this] { return back(); });
    plain("resign", []() -> Result {
        UIApplication::sharedApplication().resignActive();
        return std::nullopt;
    });
    plain("background", []() -> Result {
        // Leaving for the home screen: first no longer active, then in the background.
        UIApplication::sharedApplication().resignActive();
        UIApplication::sharedApplication().enterBackground();
        return std::nullopt;
    });
    add("tap", "tap <row-id> | tap \"<application name>\"", [this](const Words& w) -> Result {
        if (w.size() != 2)
            return "tap takes one row identifier or application name";
        if (auto table = topTable())
            return tapApplication(*table, w[1]);
        return tap(w[1]);
    });
    add("index", "index <letter>", [this](const Words& w) -> Result {
        if (w.size() != 2)
            return "index takes one letter";
        return index(w[1]);
    });
    add("answer", "answer \"<button>\"", [this](const Words& w) -> Result {
        if (w.size() != 2)
            return "answer takes one button title";
        return answer(w[1]);
    });
    add("wait-loaded", "wait-loaded [seconds]", [this](const Words& w) -> Result {
        auto limit = w.size() == 2 ? sv::host::parseNumber(w[1]) : std::optional<double>(kDefaultLoadingLimit);
        if (w.size() > 2 || !limit || *limit < 0)
            return "wait-loaded takes at most a number of seconds (0 or more)";
        return waitLoaded(*limit);
    });
    add("scroll", "scroll <points>", [this](const Words& w) -> Result {
        auto points = w.size() == 2 ? sv::host::parseNumber(w[1]) : std::nullopt;
        if (!points)
            return "scroll takes a number of points (negative: back up)";
        return scroll(*points);
    });
    add("snapshot", "snapshot <file.png>", [this](const Words& w) -> Result {
        if (w.size() != 2 || w[1].empty())
            return "snapshot takes one file name";
        return snapshot(w[1]);
    });
    plain("show", [this]() -> Result {
        show();
        return std::nullopt;
    });
    // The built-in wait, followed by a look at what the time changed.
    add("wait", "wait <seconds>", [](const Words& w) -> Result {
        auto seconds = w.size() == 2 ? sv::host::parseNumber(w[1]) : std::nullopt;
        if (!seconds || *seconds < 0)
            return "wait takes a number of seconds (0 or more)";
        sv::RunLoop::main().runFor(*seconds);
        return std::nullopt;
    });
}

std::shared_ptr<UIViewController> SettingsApp::top() const
{
    return navigation_->topViewController();
}

std::shared_ptr<UITableView> SettingsApp::topTable() const
{
    auto controller = top();
    return controller ? std::dynamic_pointer_cast<UITableView>(controller->view()) : nullptr;
}

SettingsApp::Result SettingsApp::open()
{
    if (top() != home_)
        return "open works from the Settings list (go back first)";
    if (!bundleLoaded_) {
        auto bundle = sv::prefs::loadBundle(kBundle);
        if (!bundle)
            return std::string("cannot load ") + kBundle;
        bundleLoaded_ = true;
        home_->specifierForID(kEntry)->setProperty("detail", sv::Value(bundle->principalClass));
        scenario_.event(std::string("loaded ") + kBundle);
    }
    if (!home_->selectSpecifier(home_->specifierForID(kEntry)))
        return "the pane's bundle made no controller";
    return std::nullopt;
}

std::shared_ptr<UISlider> SettingsApp::findSlider() const
{
    auto controller = top();
    if (!controller)
        return nullptr;
    std::shared_ptr<UISlider> found;
    walk(controller->view(), [&](const std::shared_ptr<UIView>& view) {
        if (!found && !view->isHidden())
            found = std::dynamic_pointer_cast<UISlider>(view);
    });
    return found;
}

SettingsApp::Result SettingsApp::drag(const Words& words, bool fromPoint)
{
    std::size_t first = fromPoint ? 2 : 1;
    bool hold = words.size() == first + 2 && words[first + 1] == "hold";
    if (words.size() != first + 1 && !hold)
        return fromPoint ? "drag-from takes an x on the slider, a value and optionally hold"
                         : "drag takes a value and optionally hold";
    auto value = sv::host::parseNumber(words[first]);
    auto x = fromPoint ? sv::host::parseNumber(words[1]) : std::optional<double>(0);
    if (!value || !x)
        return "not a number: " + (value ? words[1] : words[first]);
    auto slider = touch_ ? std::dynamic_pointer_cast<UISlider>(touched_.lock()) : findSlider();
    if (!slider)
        return touch_ ? "the finger is not on a slider" : "no slider on this screen";
    if (touch_ && fromPoint)
        return "a finger is already down (lift or cancel it first)";

    Rect thumb = slider->thumbRectForBounds(slider->bounds(), slider->trackRectForBounds(slider->bounds()), slider->value());
    if (!touch_) {
        Point start = fromPoint ? Point { static_cast<float>(*x), thumb.midY() } : centre(thumb);
        touch_.emplace(slider->convertPointToView(start, nullptr));
        touched_ = slider;
        slider->touchesBegan(*touch_, nullptr);
        reportChanges();
    }
    touch_->moveTo(slider->locationForValue(static_cast<float>(*value), nullptr));
    slider->touchesMoved(*touch_, nullptr);
    if (!hold) {
        reportChanges();
        return lift();
    }
    return std::nullopt;
}

SettingsApp::Result SettingsApp::lift()
{
    auto control = touched_.lock();
    if (!touch_ || !control) {
        touch_.reset();
        return "no finger is down";
    }
    UITouch touch = *touch_;
    touch_.reset();
    control->touchesEnded(touch, nullptr);
    return std::nullopt;
}

SettingsApp::Result SettingsApp::cancel()
{
    if (!touch_)
        return "no finger is down";
    cancelTouch();
    return std::nullopt;
}

void SettingsApp::cancelTouch()
{
    auto control = touched_.lock();
    touch_.reset();
    if (control)
        control->touchesCancelled(nullptr);
}

SettingsApp::Result SettingsApp::back()
{
    if (!navigation_->popViewControllerAnimated(true))
        return "already at the Settings list";
    return std::nullopt;
}

SettingsApp::Result SettingsApp::tap(const std::string& row)
{
    auto list = std::dynamic_pointer_cast<PSListController>(top());
    auto specifier = list ? list->specifierForID(row) : nullptr;
    if (!specifier)
        return "no row " + row + " on this screen";
    if (list == home_ && row == kEntry)
        return open();
    if (specifier->cellType() == PSCellType::Switch) {
        auto cell = list->cachedCellForSpecifierID(row);
        auto control = cell ? cell->control() : nullptr;
        if (!control || control->isHidden())
            return "the switch of " + row + " cannot be touched";
        UITouch touch(control->convertPointToView(centre(control->bounds()), nullptr));
        control->touchesBegan(touch, nullptr);
        control->touchesEnded(touch, nullptr);
        return std::nullopt;
    }
    if (specifier->cellType() == PSCellType::Link) {
        std::string detail = specifier->detailControllerClass();
        if (!sv::prefs::isControllerClassRegistered(detail))
            return row + " opens " + detail + ", which no loaded bundle provides";
        if (!list->selectSpecifier(specifier))
            return row + " made no controller";
        return std::nullopt;
    }
    return "row " + row + " does nothing when tapped";
}

SettingsApp::Result SettingsApp::openChooser(const std::string& which)
{
    if (top() == home_)
        if (Result failed = open())
            return failed;
    auto pane = std::dynamic_pointer_cast<PSListController>(top());
    std::string row = which == "never" ? "NeverKill" : "AlwaysKill";
    if (!pane || pane == home_ || !pane->specifierForID(row))
        return "open " + which + " works from the pane or the Settings list";
    return tap(row);
}

SettingsApp::Result SettingsApp::tapApplication(UITableView& table, const std::string& name)
{
    for (long s = 0; s < table.numberOfSections(); ++s)
        for (long r = 0; r < table.numberOfRowsInSection(s); ++r)
            if (lookOfRow(table, { s, r }).name == name) {
                table.tapRowAtIndexPath({ s, r });
                return std::nullopt;
            }
    return "no row " + quoted(name) + " on this screen";
}

SettingsApp::Result SettingsApp::index(const std::string& letter)
{
    auto table = topTable();
    if (!table)
        return "no table on this screen";
    table->layoutIfNeeded();
    const auto& titles = table->sectionIndexTitles();
    auto found = std::find(titles.begin(), titles.end(), letter);
    if (found == titles.end())
        return "no " + quoted(letter) + " in the section index";
    table->touchSectionIndexAtPosition(static_cast<long>(found - titles.begin()));
    return std::nullopt;
}

SettingsApp::Result SettingsApp::answer(const std::string& button)
{
    const auto& alerts = UIApplication::sharedApplication().visibleAlerts();
    if (alerts.empty())
        return "no alert or sheet is showing";
    auto panel = alerts.back();
    for (long i = 0; i < panel->numberOfButtons(); ++i)
        if (panel->buttonTitleAtIndex(i) == button) {
            scenario_.event("pressed " + quoted(button));
            panel->pressButtonAtIndex(i);
            return std::nullopt;
        }
    return "no button " + quoted(button) + " on " + quoted(panel->title());
}

SettingsApp::Result SettingsApp::waitLoaded(double limit)
{
    auto table = topTable();
    if (!table)
        return "no table on this screen";
    sv::RunLoop& loop = sv::RunLoop::main();
    // Real time: the catalogue comes from another process, whatever this one's clock.
    auto start = std::chrono::steady_clock::now();
    auto loading = [&] {
        auto controller = top();
        return controller && findOverlay(controller->view()) && UIApplication::sharedApplication().visibleAlerts().empty();
    };
    while (loading()) {
        double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (spent >= limit)
            return "still loading after " + number(limit) + " s";
        loop.runOnce(std::min(0.05, limit - spent));
        if (loop.manualClock())
            loop.runFor(0);
        reportChanges();
    }
    return std::nullopt;
}

SettingsApp::Result SettingsApp::scroll(double points)
{
    auto table = topTable();
    if (!table)
        return "no table on this screen";
    if (!table->scrollByFinger(static_cast<float>(points)))
        return table->isScrollEnabled() ? "the table cannot scroll further" : "the table does not scroll now";
    return std::nullopt;
}

SettingsApp::Result SettingsApp::snapshot(const std::string& file)
{
    // The screen, then the alerts and sheets over it.
    UIView& screen = *navigation_->view();
    auto image = sv::ui::Image::create(static_cast<int>(std::ceil(screen.bounds().width() * kSnapshotScale)),
                                       static_cast<int>(std::ceil(screen.bounds().height() * kSnapshotScale)));
    if (image) {
        auto context = CairoContext::create(image, kSnapshotScale);
        if (!context)
            image.reset();
        else {
            drawViewHierarchy(screen, *context);
            for (const auto& panel : UIApplication::sharedApplication().visibleAlerts())
                drawViewHierarchy(*panel, *context);
        }
    }
    auto png = image ? image->pngData() : std::nullopt;
    if (!png || !sv::fs::writeHostFileAtomically(file, png->data(), png->size()))
        return "cannot write " + file;
    scenario_.event("snapshot " + file);
    return std::nullopt;
}

void SettingsApp::show()
{
    auto controller = top();
    controller->view()->layoutIfNeeded();
    scenario_.event("screen " + std::string(controller->className()) + " " + quoted(controller->navigationTitle()));
    for (const auto& panel : UIApplication::sharedApplication().visibleAlerts())
        scenario_.event(describePanel(*panel));
    if (auto table = topTable()) {
        showTable(*table);
        return;
    }
    auto list = std::dynamic_pointer_cast<PSListController>(controller);
    if (!list) {
        walk(controller->view(), [&](const std::shared_ptr<UIView>& view) {
            if (auto label = std::dynamic_pointer_cast<UILabel>(view); label && !label->isHidden() && !label->text().empty())
                scenario_.event("label " + quoted(label->text()));
        });
        return;
    }
    for (const auto& specifier : list->specifiers()) {
        if (specifier->cellType() == PSCellType::Group) {
            if (!specifier->name().empty())
                scenario_.event("group " + quoted(specifier->name()));
            continue;
        }
        std::string line = "row " + specifier->identifier() + " " + quoted(specifier->name());
        auto cell = list->cachedCellForSpecifier(*specifier);
        if (!cell) {
            scenario_.event(line + " (no cell yet)");
            continue;
        }
        if (specifier->cellType() == PSCellType::Link && !specifier->detailControllerClass().empty())
            line += " opens " + specifier->detailControllerClass();
        for (const auto& subview : cell->subviews()) {
            if (subview == cell->textLabel())
                continue;
            std::string part;
            if (auto control = std::dynamic_pointer_cast<UISwitch>(subview))
                part = std::string("switch ") + (control->isOn() ? "on" : "off");
            else if (auto slider = std::dynamic_pointer_cast<UISlider>(subview))
                part = "slider " + number(slider->value());
            else if (auto label = std::dynamic_pointer_cast<UILabel>(subview))
                part = "label " + quoted(label->text());
            else
                part = std::string(subview->className());
            line += ", " + part + (subview->isHidden() ? " (hidden)" : "");
        }
        scenario_.event(line);
    }
}

void SettingsApp::showTable(UITableView& table)
{
    if (auto overlay = findOverlay(top()->view()))
        scenario_.event("overlay " + describeOverlay(*overlay));
    for (long s = 0; s < table.numberOfSections(); ++s) {
        if (auto title = table.titleForHeaderInSection(s))
            scenario_.event("section " + quoted(*title));
        for (long r = 0; r < table.numberOfRowsInSection(s); ++r)
            scenario_.event("row " + describeRow(lookOfRow(table, { s, r })));
    }
    if (!table.sectionIndexTitles().empty()) {
        std::string letters;
        for (const auto& title : table.sectionIndexTitles())
            letters += title;
        scenario_.event("index " + letters);
    }
}

void SettingsApp::reportTable()
{
    auto table = topTable();
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

void SettingsApp::reportAlerts()
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

void SettingsApp::reportSettingsFile(bool announce)
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

void SettingsApp::reportChanges()
{
    reportSettingsFile(true);
    reportTable();
    reportAlerts();
    auto controller = top();
    if (!controller)
        return;
    walk(controller->view(), [&](const std::shared_ptr<UIView>& view) {
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
    });
    // Forget views that are gone.
    std::erase_if(seen_, [](const auto& entry) { return entry.second.view.expired(); });
}

} // namespace prefs_host
