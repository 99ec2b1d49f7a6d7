#pragma once
// A closing policy, played on a replayed day beside the others. The replay tells it what the home
// screen reports and asks when it next wants to act; it closes applications through the stage.
// A new policy derives from Policy (any timing of its own) or from VictimPolicy (the library's
// timing: a close one second after a leave finds memory low, then one more every 4.6 s while it
// stays low) and only chooses which application goes.

#include "playback/day.h"

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

inline constexpr double kNever = std::numeric_limits<double>::infinity();

// The policies' names, as the command line, the report and the pane know them.
inline constexpr const char* kPartsPolicy = "parts";
inline constexpr const char* kLargestFirstPolicy = "largest-first";
inline constexpr const char* kOraclePolicy = "oracle";
inline constexpr const char* kLearnFromUsePolicy = "learn-from-use";

// What a policy sees of the device and how it closes.
class Stage {
public:
    virtual ~Stage() = default;
    virtual const Day& day() const = 0;
    virtual int threshold() const = 0;
    virtual double totalMB() const = 0;
    virtual double baseMB() const = 0;
    virtual double floorMB() const = 0;
    // Free memory in MB, exact (never below 0), as model::Day's freeMB().
    virtual double freeMB() const = 0;
    // The same in whole megabytes, the figure the library compares (held in a double so that no
    // figure of a hostile trace wraps round), as model::Day's freeFigure().
    virtual double freeFigure() const = 0;
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
    bool low() const { return stage_->freeFigure() <= stage_->threshold(); }
    void runDue(double time);
    const std::vector<std::string>* never_ = nullptr; // the never list in force
    enum class Next { Nothing, Close, Check };
    Next next_ = Next::Nothing;
    double due_ = kNever;
};

// The knobs of a predictor tried beside Learn From Use's rule (policies.h reads them).
struct Knobs {
    std::optional<double> half, extra, follow, size, margin;
    std::optional<int> window, keep;
    bool recency = false;
    bool alone = false; // the score followed at every pick, without the experts
};

// Identifiers no policy closes: the home screen's own and the telephone's.
bool fixedIdentifier(const std::string& bundleID);

} // namespace replay
