#pragma once
// Every kind of value a switch's key ("alwaysKill", "LearnFromUse") may hold in the settings file,
// with the reading the user sees on the pane: the library's tests and the pane's are held to this
// one table, so that the two sides cannot drift apart.

#include "platform/foundation/value.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace sv::test {

struct StoredSwitch {
    std::string what;
    std::optional<Value> stored; // nothing: the key is absent
    bool on = false;
};

inline std::vector<StoredSwitch> storedSwitches()
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    return {
        { "missing", std::nullopt, false },
        { "true", Value(true), true },
        { "false", Value(false), false },
        { "integer 0", Value(0), false },
        { "integer 1", Value(1), true },
        { "integer 2", Value(2), true },
        { "integer -1", Value(-1), true },
        { "real 0", Value(0.0), false },
        { "real -0", Value(-0.0), false },
        { "real 1", Value(1.0), true },
        { "real 0.5", Value(0.5), true },
        { "real infinity", Value(kInfinity), true },
        { "real NaN", Value(kNaN), false },
        { "text YES", Value("YES"), false },
        { "text 1", Value("1"), false },
        { "text empty", Value(""), false },
        { "array", Value(Array { Value(true) }), false },
        { "date", Value(Date { 1 }), false },
    };
}

} // namespace sv::test
