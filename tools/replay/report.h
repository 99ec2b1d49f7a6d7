#pragma once
// What the replay prints and draws: the figures as a table, as JSON, and as a chart.

#include "tools/replay/replay.h"

#include <cstdio>
#include <string>
#include <vector>

namespace replay {

void printTable(std::FILE* out, const std::vector<Figures>& rows);
void printJson(std::FILE* out, const std::vector<Figures>& rows);
// Regretted closes and minutes under the threshold against the threshold, a line a policy; a PNG
// written atomically to a host path. False when it cannot be written.
bool writeChart(const std::vector<Figures>& rows, long days, const std::string& path);

} // namespace replay
