#pragma once
// The chooser screens in this process, for their tests: a catalogue written as the library
// writes it, a screen opened on it, and its rows.
#include "tests/settings/pane_fixture.h"

#include "platform/foundation/notification_center.h"
#include "platform/notify/darwin_notify.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/view_renderer.h"
#include "settings/always_apps_controller.h"
#include "settings/app_cell.h"
#include "settings/never_apps_controller.h"

using namespace sv::ui;

namespace sv::test {

struct App {
    std::string name;
    std::string id;
};

class ChooserTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        installImages();
    }

    static Value record(const App& app) { return slv::applicationRecord(app.name, app.id, slv::iconImagePath(app.id)); }

    // The catalogue as the export leaves it, with an icon file for each application.
    void writeCatalogue(const std::vector<App>& apps, Dictionary others = {})
    {
        Array records;
        auto png = Image::create(8, 8)->pngData();
        for (const App& app : apps) {
            records.push_back(record(app));
            writeHostFile(root().host(slv::iconImagePath(app.id)), std::string(png->begin(), png->end()));
        }
        others[std::string(slv::key::ApplicationData)] = Value(std::move(records));
        writeSettings(others);
    }

    static Value list(const std::vector<std::string>& ids)
    {
        Array entries;
        for (const auto& id : ids)
            entries.push_back(slv::identifierEntry(id));
        return Value(std::move(entries));
    }

    template <class Screen>
    std::shared_ptr<Screen> open()
    {
        auto screen = Screen::initForContentSize(UIViewController::kContentSize);
        if (screen)
            navigation->pushViewController(screen, true);
        return screen;
    }

    // The chooser opened, and its applications loaded.
    template <class Screen>
    std::shared_ptr<Screen> openLoaded()
    {
        auto screen = open<Screen>();
        complete();
        return screen;
    }

    static void progress(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            NotificationCenter::defaultCenter().post(slv::local::CheckOnAppLoading);
    }
    static void complete() { NotificationCenter::defaultCenter().post(slv::local::CheckOnApps); }

    static std::vector<std::string> names(const SLVAppListController& screen, std::size_t section)
    {
        std::vector<std::string> found;
        for (std::size_t i : screen.appNamesArray.at(section).entries)
            found.push_back(*findString(screen.applicationsArray[i], "AppName"));
        return found;
    }

    static NSIndexPath find(const SLVAppListController& screen, const std::string& name)
    {
        for (std::size_t s = 0; s < screen.appNamesArray.size(); ++s) {
            auto rows = names(screen, s);
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r] == name)
                    return { static_cast<long>(s), static_cast<long>(r) };
        }
        ADD_FAILURE() << "no row " << name;
        return { -1, -1 };
    }

    // A row as the table configures it: whether it is marked, and with which picture.
    struct Look {
        std::string name;
        bool locked = false;
        std::string mark;
        const UITableViewCell* cell = nullptr;
    };
    static Look look(SLVAppListController& screen, const std::string& name)
    {
        Look seen;
        screen.appTable->visitCellForRowAtIndexPath(find(screen, name), [&](UITableViewCell& cell) {
            auto& row = dynamic_cast<AppCell&>(cell);
            seen.name = row.appName().value_or("");
            seen.locked = row.isLocked();
            seen.cell = &cell;
            RecordingContext context;
            drawViewHierarchy(cell, context);
            for (const auto& op : context.operationsOfKind(DrawOp::Kind::DrawImageAtPoint))
                seen.mark = op.imagePath;
        });
        return seen;
    }

    static void tap(SLVAppListController& screen, const std::string& name)
    {
        ASSERT_TRUE(screen.appTable->tapRowAtIndexPath(find(screen, name)));
    }

    static std::shared_ptr<AlertPanel> panel()
    {
        const auto& visible = UIApplication::sharedApplication().visibleAlerts();
        return visible.empty() ? nullptr : visible.back();
    }

    static std::vector<std::string> saved(std::string_view key)
    {
        std::vector<std::string> ids;
        auto settings = slv::readSettings();
        if (const Array* entries = settings ? findArray(*settings, key) : nullptr)
            for (const Value& entry : *entries)
                ids.push_back(slv::entryBundleID(entry) ? *slv::entryBundleID(entry) : "(none)");
        return ids;
    }

    const std::vector<App> kRadios { { "radar", "com.example.radar" }, { "Radio", "com.example.radio" }, { "7 Seas", "com.example.seas" } };
};

} // namespace sv::test
