#pragma once
// A day held to both the library and the model: ten applications of 50 MB, which leave 12 MB free,
// go one by one, two seconds apart, while the phone is in a call, which ends after them. Its end
// must close the four that bring memory above 175 MB, as the chain measures.

#include <string>

namespace sv::test {

inline std::string tenLeavesDuringACall(const std::string& learnFromUse)
{
    std::string scenario = "settings learnFromUse " + learnFromUse + "\n";
    for (int i = 0; i < 10; ++i)
        scenario += "app app" + std::to_string(i) + " \"App\" mem=50\nlaunch app" + std::to_string(i) + "\n";
    scenario += "home\ncall active\n";
    for (int i = 0; i < 10; ++i)
        scenario += "state app" + std::to_string(i) + " 2\nwait 2\n";
    return scenario + "call none\nwait 120\n";
}

} // namespace sv::test
