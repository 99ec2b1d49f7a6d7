#pragma once
// A host process played inside the test process: a fresh device root, the manual clock with no
// timers pending, the log captured and the given main bundle identity.

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::test {

class ProcessTest : public ::testing::Test {
protected:
    void startProcess(std::optional<std::string> identity)
    {
        root_ = std::make_unique<DeviceRoot>();
        clock_ = std::make_shared<ManualClock>();
        RunLoop::main().setClock(clock_);
        RunLoop::main().removeAllTimers();
        captureLog();
        bundle::setMainBundleIdentifierForTesting(std::move(identity));
    }

    void endProcess()
    {
        RunLoop::main().removeAllTimers();
        sv::setLogSink(nullptr);
        root_.reset();
    }

    void captureLog()
    {
        sv::setLogSink([this](std::string_view line) { logLines.emplace_back(line); });
    }

    // Lets simulated time pass: timers fire and posted notifications arrive, in order.
    void advance(double seconds) { RunLoop::main().runFor(seconds); }
    double now() const { return clock_->now().count(); }
    const DeviceRoot& root() const { return *root_; }

    std::vector<std::string> logLines;

private:
    std::unique_ptr<DeviceRoot> root_;
    std::shared_ptr<ManualClock> clock_;
};

} // namespace sv::test
