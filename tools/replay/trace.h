#pragma once
// Reading days from traces: the tab-separated LSApp format (one device a person, one day a
// calendar date) and the home-screen host's scenarios (one day a file).

#include "tools/replay/day.h"

#include <istream>
#include <string>
#include <vector>

namespace replay {

struct Trace {
    std::vector<Day> days;
    int badLines = 0; // each reported on standard error as "<source>: line N: why"
    long lines = 0;
};

Trace readLsapp(std::istream& in, const std::string& source);
Trace readScenario(std::istream& in, const std::string& source);

// Reads a file in whichever format it holds (LSApp when its first line is the header or it ends
// in .tsv). False, with a message on standard error, when it cannot be read at all.
bool readTraceFile(const std::string& path, Trace& into);

} // namespace replay
