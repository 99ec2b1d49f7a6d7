#pragma once
// Days for the replay's tests: made by hand, applications added by name with their footprint and
// events through the builder, or read from a scenario's text; and the built tool and home-screen
// host that play them.

#include "tests/support/device_root.h"
#include "playback/day.h"
#include "playback/trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace replay {

// A scenario's text read whole: not a line of it bad.
inline Trace scenarioTrace(const std::string& text, const std::string& source)
{
    std::istringstream in(text);
    Trace trace = readScenario(in, source);
    EXPECT_EQ(trace.badLines, 0);
    return trace;
}

// The built sleepvane-replay with the arguments, no standard input.
inline sv::test::ProcessResult replayTool(std::vector<std::string> args, double timeoutSeconds = 120)
{
    args.insert(args.begin(), sv::test::buildPath("tools/replay/sleepvane-replay"));
    return sv::test::runProcess(args, "", timeoutSeconds);
}

// The scenario played by the home-screen host on the virtual clock, the library laid out in root.
inline sv::test::ProcessResult playedByTheHost(const sv::test::DeviceRoot& root, const std::string& scenario,
                                               double timeoutSeconds = 60)
{
    sv::test::installLibrary(root.path());
    return sv::test::runProcess(
        { sv::test::buildPath("hosts/springboard/springboard-host"), "--root", root.path(), "--virtual-clock" },
        scenario, timeoutSeconds);
}

struct Builder {
    Day day;
    DayBuilder build { day };
    AppId add(const std::string& name, double mb)
    {
        AppId app = day.app(name, bundleIDFor(name));
        day.apps[app].memoryMB = mb;
        return app;
    }
};

} // namespace replay
