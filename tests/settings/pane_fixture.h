#pragma once
// The pane inside a Settings application played by this test process: a fresh device root with
// the pane's specifier list, the manual clock, a navigation stack whose root stands for the
// Settings list, and the bundle's start-up run once per process.

#include "contract/settings_contract.h"
#include "platform/foundation/run_loop.h"
#include "platform/prefs/controller_registry.h"
#include "platform/ui/application.h"
#include "settings/app_delegate.h"
#include "settings/pane_start.h"
#include "tests/support/process_test.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace sv::test {

class PaneTest : public ProcessTest {
protected:
    // 0.1 s as the pane waits it: a float widened.
    static constexpr double kFirstFill = static_cast<double>(0.1f);

    void SetUp() override
    {
        startProcess("com.apple.Preferences");
        installSpecifierList();
        static bool started = [] {
            // Every class of the bundle, then the root pane again with its bundle folder, from
            // which it reads its specifier list.
            registerSettingsClasses();
            prefs::registerControllerClass(
                "SLVAppDelegate",
                [](ui::Size size) -> std::shared_ptr<prefs::PSViewController> { return SLVAppDelegate::initForContentSize(size); },
                std::string(slv::path::Bundle));
            sv::setLogSink([](std::string_view line) { initLog().emplace_back(line); });
            Init();
            return true;
        }();
        (void)started;
        captureLog();
        settingsList = ui::UIViewController::init();
        settingsList->setTitle("Settings");
        navigation = ui::UINavigationController::initWithRootViewController(settingsList);
        ui::UIApplication::sharedApplication().setRootController(navigation);
    }

    void TearDown() override
    {
        ui::UIApplication::sharedApplication().dismissAllAlerts();
        RunLoop::main().removeAllTimers();
        ui::UIApplication::sharedApplication().setRootController(nullptr);
        navigation.reset();
        endProcess();
    }

    // What the bundle's start-up logged, in the test that ran it first.
    static std::vector<std::string>& initLog()
    {
        static std::vector<std::string> lines;
        return lines;
    }

    void installSpecifierList()
    {
        writeHostFile(root().host(std::string(slv::path::Bundle) + "/SLVHome.plist"),
                      readHostFile(std::string(SV_SOURCE_DIR) + "/settings/resources/SLVHome.plist"));
    }

    // The bundle's pictures: the two list marks and the fallback icon, as the build drew them.
    void installImages()
    {
        for (const char* name : { "SLVAlways.png", "SLVNever.png", "MissingIcon.png" })
            writeHostFile(root().host(std::string(slv::path::Bundle) + "/" + name),
                          readHostFile(std::string(SV_SETTINGS_BUNDLE_DIR) + "/" + name));
    }

    // The host creating the pane and showing it (its cells are made as it is laid out).
    std::shared_ptr<SLVAppDelegate> openPane(bool show = true)
    {
        auto pane = std::dynamic_pointer_cast<SLVAppDelegate>(
            prefs::createController("SLVAppDelegate", ui::UIViewController::kContentSize));
        if (pane && show)
            navigation->pushViewController(pane, true);
        return pane;
    }

    void writeSettings(const Dictionary& settings)
    {
        ASSERT_TRUE(plist::writeFile(slv::settingsPath(), Value(settings)));
    }

    std::shared_ptr<ui::UIViewController> settingsList;
    std::shared_ptr<ui::UINavigationController> navigation;
};

} // namespace sv::test
