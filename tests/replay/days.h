#pragma once
// Days for the replay's tests: made by hand, applications added by name with their footprint and
// events through the builder, or read from a scenario's text.

#include "tools/replay/day.h"
#include "tools/replay/trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace replay {

// A scenario's text read whole: not a line of it bad.
inline Trace scenarioTrace(const std::string& text, const std::string& source)
{
    std::istringstream in(text);
    Trace trace = readScenario(in, source);
    EXPECT_EQ(trace.badLines, 0);
    return trace;
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
