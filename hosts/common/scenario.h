#pragma once
// The scenario driver both hosts share: commands one a line, read as a source of the main run
// loop, executed in order; events printed as "[<seconds>] <event>".

#include "platform/foundation/run_loop.h"
#include "playback/scenario_words.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::host {

// The scenario language's words, shared with the engine that reads scenarios as days.
using sv::scenario::Options;
using sv::scenario::parseNumber;
using sv::scenario::parseOptions;
using sv::scenario::splitWords;

class Scenario {
public:
    using Words = std::vector<std::string>;
    // Answers an error text, or nothing on success.
    using Handler = std::function<std::optional<std::string>(const Words& words)>;

    Scenario(std::string program, RunLoop& loop);

    void addCommand(std::string name, std::string usage, Handler handler);
    // Runs after every command line, whatever its outcome.
    void setAfterCommand(std::function<void()> hook) { afterCommand_ = std::move(hook); }

    // Prints one event line on standard output.
    void event(std::string_view text) const;
    double elapsed() const;

    // Reads commands from fd (closed at the end) and runs them; answers the exit status.
    int run(int fd);

    // Executes one line as if read from input (tests drive the host with this).
    void execute(std::string_view line, int lineNumber);

    int errors() const { return errors_; }

private:
    void readInput();
    void processQueue();
    void report(int lineNumber, const std::string& message);

    struct Command {
        std::string usage;
        Handler handler;
    };

    std::string program_;
    RunLoop& loop_;
    sv::Clock::Duration start_;
    std::map<std::string, Command, std::less<>> commands_;
    std::function<void()> afterCommand_;
    std::deque<std::pair<int, std::string>> queue_;
    std::string partial_;
    int fd_ = -1;
    RunLoop::SourceId source_ = 0;
    int lineNumber_ = 0;
    bool executing_ = false;
    bool endOfInput_ = false;
    bool quit_ = false;
    int errors_ = 0;
};

} // namespace sv::host
