#pragma once
// A closing policy, played on a replayed day beside the others. The replay tells it what the home
// screen reports and asks when it next wants to act; it closes applications through the stage.
// A new policy derives from Policy (any timing of its own) or from VictimPolicy (the library's
// timing: a close one second after a leave finds memory low, then one more every 4.6 s while it
// stays low) and only chooses which application goes.

#include "tools/replay/day.h"

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

inline constexpr double kNever = std::numeric_limits<double>::infinity();

// What a policy sees of the device and how it closes.
class Stage {
public:
    virtual ~Stage() = default;
    virtual const Day& day() const = 0;
    virtual int threshold() const = 0;
    virtual double totalMB() const = 0;
    virtual double baseMB() const = 0;
    virtual double floorMB() const = 0;
    // Free memory in whole megabytes, as the library reads it (whole, held in a double so that no
    // figure of a hostile trace wraps round).
    virtual double freeMB() const = 0;
    // The same, exact (never below 0).
    virtual double freeMemoryMB() const = 0;
    virtual double footprintMB(AppId app) const = 0;
    // Running applications, most recently on top first; the one on top excluded (it cannot be closed).
    virtual std::vector<AppId> background() const = 0;
    virtual bool running(AppId app) const = 0;
    virtual Call call() const = 0;
    // Closes a backgrounded application; false when it is not running or is on top.
    virtual bool close(AppId app, double time) = 0;
};

class Policy {
public:
    virtual ~Policy() = default;
    virtual std::string name() const = 0;
    // A new day on a device just switched on.
    virtual void beginDay(Stage& stage) = 0;
    // What the home screen saw (a launch, the home screen, a state, a call), once the device has
    // moved. States: 4 came to the foreground, 2 left it, 3 left it for background work.
    virtual void observe(const Event& event) = 0;
    // Time passes up to `time`: whatever falls due happens, each at its moment.
    virtual void advanceTo(double time) = 0;
};

// The library's timing with a choice of victim of one's own.
class VictimPolicy : public Policy {
public:
    void beginDay(Stage& stage) override;
    void observe(const Event& event) override;
    void advanceTo(double time) override;

protected:
    // Which of the candidates (backgrounded, closable) to close now; kNoApp for none.
    virtual AppId choose(const std::vector<AppId>& candidates, double time) = 0;
    Stage* stage_ = nullptr;

private:
    bool low() const { return stage_->freeMB() <= stage_->threshold(); }
    void runDue(double time);
    const std::vector<std::string>* never_ = nullptr; // the never list in force
    enum class Next { Nothing, Close, Check };
    Next next_ = Next::Nothing;
    double due_ = kNever;
};

// The policies known by name: "parts", "largest-first", "oracle", "learn-from-use", and
// "learn-from-use:<knob>=<value>:..." for predictors tried beside it (policyKnobs). Null for
// another name, with the reason in why when given.
std::unique_ptr<Policy> makePolicy(const std::string& name, std::string* why = nullptr);
std::vector<std::string> policyNames();

// The learn-from-use knobs, each once, separated by ':' (half=<uses>, extra=<n>, follow=<weight>,
// window=<uses>, recency, keep=<suspects>, size=<power>). Nothing, with the reason in why, for
// anything else.
struct Knobs {
    std::optional<double> half, extra, follow, size, margin;
    std::optional<int> window, keep;
    bool recency = false;
    bool alone = false; // the score followed at every pick, without the experts
};
std::optional<Knobs> policyKnobs(std::string_view knobs, std::string* why);

// Identifiers no policy closes: the home screen's own and the telephone's.
bool fixedIdentifier(const std::string& bundleID);

} // namespace replay
