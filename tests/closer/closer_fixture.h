#pragma once
// The library inside a home screen played by this test process: a fresh device root, the manual
// clock, the home screen's classes, and the library started once per process.

#include "closer/sleepwright.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace sv::test {

class CloserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = std::make_unique<DeviceRoot>();
        clock_ = std::make_shared<ManualClock>();
        RunLoop::main().setClock(clock_);
        RunLoop::main().removeAllTimers();
        sv::setLogSink([this](std::string_view line) { logLines.emplace_back(line); });
        bundle::setMainBundleIdentifierForTesting("com.apple.springboard");
        static bool started = [] {
            sb::registerApplicationClasses();
            Sleepwright_initializer();
            return true;
        }();
        (void)started;
        susApp->clear();
        sb::Springboard::shared().setEventSink([this](std::string_view text) { events.emplace_back(text); });
    }

    void TearDown() override
    {
        RunLoop::main().removeAllTimers();
        if (susApp)
            susApp->clear();
        sv::setLogSink(nullptr);
        sb::Springboard::shared().setEventSink(nullptr);
        root_.reset();
    }

    // Lets simulated time pass: timers fire and posted notifications arrive, in order.
    void advance(double seconds) { RunLoop::main().runFor(seconds); }
    double now() const { return clock_->now(); }
    const DeviceRoot& root() const { return *root_; }

    std::vector<std::string> logLines;
    std::vector<std::string> events; // what the home screen reported

private:
    std::unique_ptr<DeviceRoot> root_;
    std::shared_ptr<ManualClock> clock_;
};

} // namespace sv::test
