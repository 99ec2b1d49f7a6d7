#include "hosts/common/scenario.h"

#include "platform/notify/darwin_notify.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sv::host {

Scenario::Scenario(std::string program, RunLoop& loop)
    : program_(std::move(program))
    , loop_(loop)
    , start_(loop.now())
{
    addCommand("wait", "wait <seconds>", [this](const Words& words) -> std::optional<std::string> {
        auto seconds = words.size() == 2 ? parseNumber(words[1]) : std::nullopt;
        if (!seconds || *seconds < 0)
            return "wait takes a number of seconds (0 or more)";
        loop_.runFor(*seconds);
        return std::nullopt;
    });
    addCommand("post", "post <name>", [](const Words& words) -> std::optional<std::string> {
        if (words.size() != 2 || words[1].empty())
            return "post takes one notification name";
        notify_post(words[1].c_str());
        return std::nullopt;
    });
    // A mark in the output, for a driver that writes commands while the host runs.
    addCommand("echo", "echo <word>", [this](const Words& words) -> std::optional<std::string> {
        if (words.size() != 2)
            return "echo takes one word";
        event("echo " + words[1]);
        return std::nullopt;
    });
    addCommand("quit", "quit", [this](const Words&) -> std::optional<std::string> {
        quit_ = true;
        loop_.stop();
        return std::nullopt;
    });
}

void Scenario::addCommand(std::string name, std::string usage, Handler handler)
{
    commands_[std::move(name)] = { std::move(usage), std::move(handler) };
}

double Scenario::elapsed() const
{
    return (loop_.now() - start_).count();
}

void Scenario::event(std::string_view text) const
{
    std::printf("[%.3f] %.*s\n", elapsed(), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

void Scenario::report(int lineNumber, const std::string& message)
{
    ++errors_;
    std::fprintf(stderr, "%s: line %d: %s\n", program_.c_str(), lineNumber, message.c_str());
    std::fflush(stderr);
}

void Scenario::execute(std::string_view line, int lineNumber)
{
    auto hash = line.find('#');
    auto words = splitWords(line.substr(0, hash == std::string_view::npos ? line.size() : hash));
    if (!words) {
        report(lineNumber, "a quoted word is not closed");
        return;
    }
    if (words->empty())
        return;
    auto found = commands_.find((*words)[0]);
    if (found == commands_.end()) {
        report(lineNumber, "unknown command \"" + (*words)[0] + "\"");
        return;
    }
    if (auto error = found->second.handler(*words))
        report(lineNumber, *error + " (usage: " + found->second.usage + ")");
    if (afterCommand_)
        afterCommand_();
}

void Scenario::readInput()
{
    char buffer[4096];
    ssize_t n;
    do
        n = ::read(fd_, buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    if (n < 0 && errno == EAGAIN)
        return;
    if (n < 0)
        report(lineNumber_ + 1, std::string("cannot read the scenario: ") + std::strerror(errno));
    if (n <= 0) {
        endOfInput_ = true;
        loop_.removeSource(source_);
        if (!partial_.empty())
            queue_.emplace_back(++lineNumber_, std::move(partial_));
        partial_.clear();
    } else {
        // Only the new bytes are searched, and the lines taken are cut off once, so that a long
        // line or many short ones cost time in proportion to their length.
        std::size_t searched = partial_.size();
        partial_.append(buffer, static_cast<std::size_t>(n));
        std::size_t lineStart = 0;
        for (std::size_t newline; (newline = partial_.find('\n', searched)) != std::string::npos; searched = newline + 1) {
            queue_.emplace_back(++lineNumber_, partial_.substr(lineStart, newline - lineStart));
            lineStart = newline + 1;
        }
        partial_.erase(0, lineStart);
    }
    processQueue();
}

void Scenario::processQueue()
{
    // A command that runs the loop (wait) must not let input that arrives meanwhile overtake it.
    if (executing_)
        return;
    executing_ = true;
    while (!queue_.empty() && !quit_) {
        auto [number, line] = std::move(queue_.front());
        queue_.pop_front();
        execute(line, number);
    }
    executing_ = false;
    if (quit_ || (endOfInput_ && queue_.empty()))
        loop_.stop();
}

int Scenario::run(int fd)
{
    fd_ = fd;
    source_ = loop_.addSource(fd, [this] { readInput(); });
    loop_.run();
    loop_.removeSource(source_);
    ::close(fd_);
    return errors_ == 0 ? 0 : 1;
}

} // namespace sv::host
