#pragma once
// Plays a home-screen scenario (the springboard host's command language) on a Day and answers
// the lines the host would print for what the model decides: `closed`, `posted norv.swr.*`,
// `suspects`, `history` and `diary` (its lines dated from wallOrigin, in local time), each as
// "[<seconds>] <event>". Commands the model has no rule for
// (icons, `show switcher`...) are passed over.

#include "model/day.h"

#include <string>
#include <string_view>
#include <vector>

namespace model {

struct PlayResult {
    std::vector<std::string> lines;
    std::vector<std::string> problems; // "line N: ..." for lines the model could not read
};

// learned: what Learn From Use knows when the day starts.
PlayResult playScenario(std::string_view text, double wallOrigin = 0, Usage learned = Usage());

// One event or answer as the host prints it.
std::string formatLine(double time, std::string_view text);

} // namespace model
