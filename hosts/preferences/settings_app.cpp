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
#include "platform/ui/view_renderer.h"

#include <chrono>
#include <cmath>

using namespace sv::ui;
using sv::prefs::PSCellType;
using sv::prefs::PSListController;
using sv::prefs::PSSpecifier;

namespace prefs_host {
namespace {
    constexpr float kSnapshotScale = 2;
    constexpr double kDefaultLoadingLimit = 10;

    Point centre(const Rect& r)
    {
        return { r.midX(), r.midY() };
    }
}

SettingsApp::SettingsApp(sv::host::Scenario& scenario) : scenario_(scenario), reporter_(scenario)
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
    center.addObserver(this, std::string(slv::local::SaveFailed), [this](const sv::Notification& note) {
        const std::string* key = note.userInfo ? sv::findString(*note.userInfo, slv::local::SaveFailedKey) : nullptr;
        scenario_.event("save failed " + (key ? *key : std::string()));
    });
    reporter_.noteSettingsFile();
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
    // Every command ends with a look at what it changed. An open alert or sheet is modal, as on
    // the phone: a finger meant for the screen under it reaches nothing.
    auto add = [this](std::string name, std::string usage, std::function<Result(const Words&)> handler) {
        bool touchesScreen = name == "tap" || name == "index" || name == "scroll" || name.starts_with("drag");
        scenario_.addCommand(name, std::move(usage), [this, handler, name, touchesScreen](const Words& words) -> Result {
            if (touchesScreen && !UIApplication::sharedApplication().visibleAlerts().empty())
                return name + ": an alert or sheet is open (answer it first)";
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

    add("open", "open [never|always|recent]", [this](const Words& w) -> Result {
        if (w.size() == 1)
            return open();
        if (w.size() == 2 && (w[1] == "never" || w[1] == "always" || w[1] == "recent"))
            return openChooser(w[1]);
        return "open takes nothing (the pane), never, always or recent";
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
        describeScreen(*top(), [this](const std::string& line) { scenario_.event(line); });
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
    return tableOf(top());
}

SettingsApp::Result SettingsApp::open()
{
    if (top() != home_)
        return "open works from the Settings list (go back first)";
    if (!bundleLoaded_) {
        auto bundle = sv::prefs::loadBundle(slv::path::Bundle);
        if (!bundle)
            return "cannot load " + std::string(slv::path::Bundle);
        bundleLoaded_ = true;
        home_->specifierForID(kEntry)->setProperty("detail", sv::Value(bundle->principalClass));
        scenario_.event("loaded " + std::string(slv::path::Bundle));
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
    walkViews(controller->view(), [&](const std::shared_ptr<UIView>& view) {
        if (!found && !view->isHidden())
            found = std::dynamic_pointer_cast<UISlider>(view);
        return true;
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
    if (specifier->cellType() == PSCellType::Button) {
        if (!list->selectSpecifier(specifier))
            return "row " + row + " does nothing when tapped";
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
    std::string row = which == "never" ? "NeverKill" : which == "always" ? "AlwaysKill" : "RecentlyClosed";
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
    const sv::SteadyClock real;
    auto start = real.now();
    auto loading = [&] {
        auto controller = top();
        return controller && findOverlay(controller->view()) && UIApplication::sharedApplication().visibleAlerts().empty();
    };
    while (loading()) {
        double spent = (real.now() - start).count();
        if (spent >= limit)
            return "still loading after " + number(limit) + " s";
        loop.runOnce(std::min(0.05, limit - spent));
        // Timers due now fire here too when the clock moves only when moved.
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

void SettingsApp::reportChanges()
{
    reporter_.reportChanges(top());
}

} // namespace prefs_host
