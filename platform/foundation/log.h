#pragma once
// The platform's log call: one line per call, no levels.

#include <functional>
#include <string_view>

namespace sv {

void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where lines go; standard error unless a test or host installs another sink.
using LogSink = std::function<void(std::string_view line)>;
void setLogSink(LogSink sink);

} // namespace sv
