#include "platform/foundation/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace sv {
namespace {
    LogSink& sink()
    {
        static LogSink current;
        return current;
    }
}

void setLogSink(LogSink newSink)
{
    sink() = std::move(newSink);
}

void log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    if (sink()) {
        sink()(line);
        return;
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace sv
