#pragma once
// The library inside a home screen played by this test process: a fresh device root, the manual
// clock, the home screen's classes and simulated device, and the library started once per process.

#include "closer/close_history.h"
#include "closer/close_timer.h"
#include "closer/app_launch.h"
#include "closer/catalogue_export.h"
#include "closer/diary.h"
#include "closer/recheck_chain.h"
#include "closer/held_back.h"
#include "closer/sleepwright.h"
#include "closer/sus_app.h"
#include "closer/usage.h"
#include "hosts/common/scenario.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/run_loop.h"
#include "platform/kernel/kernel.h"
#include "platform/notify/darwin_notify.h"
#include "platform/runtime/object.h"
#include "tests/support/process_test.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sv::test {

class CloserTest : public ProcessTest {
protected:
    void SetUp() override
    {
        startProcess("com.apple.springboard");
        static bool started = [] {
            sb::registerApplicationClasses();
            sb::registerDeviceClasses();
            Sleepwright_initializer();
            return true;
        }();
        (void)started;
        // The library starts once a process, in the first test's device root; each test has its own.
        SleepwrightMakeFolders();
        susApp->clear();
        HeldBack::clear();
        resetRecheckChain();
        CloseHistory::shared().reset();
        Usage::shared().reset();
        Diary::shared().reset();
        pool_.emplace();
        sb::Springboard::shared().reset();
        sb::Device::shared().reset();
        sb::Device::shared().installKernelProviders();
        sb::Device::shared().setSuspectSource([] { return susApp.get(); });
        sb::Springboard::shared().setEventSink([this](std::string_view text) { record(text); });
        sv::notify::setTap([](const char* name, void* self) {
            static_cast<CloserTest*>(self)->record(std::string("posted ") + name);
        }, this);
        scenario_ = std::make_unique<host::Scenario>("springboard-host", RunLoop::main());
        sb::addApplicationCommands(*scenario_);
        sb::addDeviceCommands(*scenario_);
    }

    void TearDown() override
    {
        // Pending timers hold Timer objects; ending them lets those unsubscribe now.
        Usage::shared().reset();
        RunLoop::main().removeAllTimers();
        HeldBack::clear();
        if (susApp)
            susApp->clear();
        pool_.reset();
        scenario_.reset();
        sv::notify::setTap(nullptr, nullptr);
        sv::kernel::resetProviders();
        sb::Device::shared().reset();
        sb::Springboard::shared().reset();
        sb::Springboard::shared().setEventSink(nullptr);
        // The writers must be done with this device root before it goes.
        CloseHistory::shared().reset();
        Diary::shared().reset();
        endProcess();
    }

    // Plays scenario lines as the home-screen host would; every line must be accepted.
    void play(std::initializer_list<std::string_view> lines)
    {
        for (std::string_view line : lines) {
            int before = scenario_->errors();
            scenario_->execute(line, 0);
            EXPECT_EQ(scenario_->errors(), before) << "rejected: " << line;
        }
    }

    // The events with the time they happened at, "[<s.mmm>] text", as the host prints them.
    std::vector<std::string> timeline() const
    {
        std::vector<std::string> lines;
        for (const auto& [time, text] : timed_) {
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "[%.3f] ", time);
            lines.push_back(stamp + text);
        }
        return lines;
    }
    // Only the events that start with prefix.
    std::vector<std::string> eventsStartingWith(std::string_view prefix) const
    {
        std::vector<std::string> found;
        for (const std::string& event : events)
            if (event.starts_with(prefix))
                found.push_back(event);
        return found;
    }

    // The library's closes, in order.
    std::vector<std::string> closes() const { return eventsStartingWith("closed "); }
    // The suspect list by the names the scenario gave.
    static std::vector<std::string> suspects()
    {
        std::vector<std::string> names;
        for (const rt::Ref& app : *susApp)
            names.push_back(sb::applicationState(app.get())->key);
        return names;
    }

    std::vector<std::string> events; // what the home screen reported and the posts it received

private:
    void record(std::string_view text)
    {
        events.emplace_back(text);
        timed_.emplace_back(now(), std::string(text));
    }

    std::optional<rt::AutoreleasePool> pool_;
    std::unique_ptr<host::Scenario> scenario_;
    std::vector<std::pair<double, std::string>> timed_;
};

} // namespace sv::test

// What the tests of the library here are written in.
using sv::test::CloserTest;
using Lines = std::vector<std::string>;
