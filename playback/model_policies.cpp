// The library's own rules, as the referee's model states them: the replay hands the model what the
// home screen saw and carries out the closes it answers. learn-from-use is the same rules with
// the switch on, what was learned carried from one day of a person to the next at each threshold,
// as the library's file carries it. The foresight bound is the same rules again, choosing with
// knowledge of the day ahead where Learn From Use chooses by what it learned.
#include "playback/model_policies.h"

#include "model/day.h"
#include "playback/predictors.h"
#include "playback/replay.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace replay {
namespace {

    bool has(const std::vector<std::string>& flags, const char* flag)
    {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }

    class Parts final : public Policy {
    public:
        Parts() = default;
        Parts(std::string name, std::optional<Knobs> knobs)
            : name_(std::move(name))
            , learn_(true)
            , knobs_(std::move(knobs))
        {
        }
        Parts(std::string name, Foresight foresight)
            : name_(std::move(name))
            , foresight_(std::move(foresight))
        {
        }

        std::string name() const override { return name_; }

        void beginDay(Stage& stage) override
        {
            keepWhatWasLearned();
            stage_ = &stage;
            const Day& day = stage.day();
            ids_.clear();
            model_ = std::make_unique<model::Day>(0, [this](const model::Event& event) {
                if (event.kind != model::Event::Kind::Closed)
                    return;
                if (knobs_)
                    lastClose_[event.what] = event.time;
                auto found = ids_.find(event.what);
                if (found != ids_.end())
                    stage_->close(found->second, event.time);
                model_->pinFree(free());
            });
            model::Day& m = *model_;
            // The settings file holds only the slider's range: beyond it, memory moves instead.
            slider_ = sliderSetting(stage.threshold());
            m.memory(stage.totalMB() - slider_.shiftMB, stage.baseMB());
            m.setThreshold(slider_.ramValue);
            if (!day.never.empty())
                m.setNever(day.never);
            if (!day.always.empty())
                m.setAlways(day.always);
            if (day.alwaysKill)
                m.setAlwaysKill(true);
            if (learn_) {
                const std::string& person = day.whose();
                if (person != person_) {
                    learned_.clear();
                    predictors_.clear();
                }
                person_ = person;
                threshold_ = stage.threshold();
                auto found = learned_.find(threshold_);
                // What was learned goes into the day; it comes back out at the next day's start.
                model::Usage usage = found != learned_.end() ? std::move(found->second) : model::Usage();
                usage.restarted();
                lastClose_.clear();
                if (knobs_) {
                    Predictor& predictor = predictors_.try_emplace(threshold_, *knobs_).first->second;
                    // In the score's place: the experts and their weights stay the rule's.
                    auto score = [this, &predictor](const std::vector<std::string>& closable) {
                        return predictor.pick(closable, [this](const std::string& id) {
                            return double(model_->usage().megabytes(id));
                        });
                    };
                    if (knobs_->alone)
                        usage.answerWith(score);
                    else
                        usage.scoreWith(score);
                }
                m.setUsage(std::move(usage));
                m.setLearnFromUse(true);
            } else if (foresight_) {
                model::Usage usage;
                // Foresight needs no guard of recency: any closable suspect may go.
                usage.answerWith([this](const std::vector<std::string>& closable) -> std::optional<std::size_t> {
                    std::optional<std::size_t> chosen;
                    double lowest = 0;
                    for (std::size_t i = 0; i < closable.size(); ++i) {
                        auto found = ids_.find(closable[i]);
                        double likely = found == ids_.end() ? 0 : foresight_(*stage_, found->second, model_->now());
                        if (!chosen || likely < lowest) {
                            chosen = i;
                            lowest = likely;
                        }
                    }
                    return chosen;
                });
                m.setUsage(std::move(usage));
                m.setLearnFromUse(true);
            }
            for (std::size_t i = 0; i < day.apps.size(); ++i) {
                const App& app = day.apps[i];
                model::App a;
                a.key = app.bundleID;
                a.memoryMB = stage.footprintMB(static_cast<AppId>(i));
                a.hasIdentifier = !has(app.flags, "no-id");
                a.audio = has(app.flags, "audio");
                a.location = has(app.flags, "location");
                a.voip = has(app.flags, "voip");
                a.hasProcess = !has(app.flags, "no-process");
                a.taskAssertions = !has(app.flags, "no-tasks");
                a.playing = has(app.flags, "playing");
                a.recording = has(app.flags, "recording");
                a.sockets = has(app.flags, "sockets");
                a.watchdog = has(app.flags, "watchdog");
                m.install(a);
                ids_.emplace(app.bundleID, static_cast<AppId>(i));
            }
        }

        void observe(const Event& event) override
        {
            model::Day& m = *model_;
            const Day& day = stage_->day();
            // The library reads free memory from the kernel: what the system's killer freed too.
            m.pinFree(free());
            switch (event.kind) {
            case Event::Kind::Launch:
                m.launch(day.apps[event.app].bundleID);
                break;
            case Event::Kind::Home:
                m.home();
                break;
            case Event::Kind::State:
                if (knobs_ && event.state == 4) {
                    const std::string& id = day.apps[event.app].bundleID;
                    auto closed = lastClose_.find(id);
                    bool returned = closed != lastClose_.end() && event.time - closed->second <= model::kReopenWindow;
                    if (closed != lastClose_.end())
                        lastClose_.erase(closed);
                    predictors_.at(threshold_).foreground(id, returned);
                }
                m.stateChanged(day.apps[event.app].bundleID, event.state);
                break;
            case Event::Kind::Call:
                m.call(event.call);
                break;
            case Event::Kind::Lists: {
                const Lists& lists = day.listChanges[static_cast<std::size_t>(event.lists)];
                m.setNever(lists.never);
                m.setAlways(lists.always);
                m.setAlwaysKill(lists.alwaysKill);
                break;
            }
            }
            if (watch_)
                watch_(event.time, m.usage());
        }

        UsageWatch watch_;

        void advanceTo(double time) override
        {
            if (time > model_->now())
                model_->advance(time - model_->now());
        }

    private:
        // Free memory as the model is to read it, on the slider's side of the shift: the device's
        // figure moved, and only then kept from going below 0, as the host's moved device has it
        // (what a close frees is learned from it).
        double free() const
        {
            if (slider_.shiftMB == 0)
                return stage_->freeMB();
            double held = 0;
            for (std::size_t i = 0; i < stage_->day().apps.size(); ++i)
                if (stage_->running(static_cast<AppId>(i)))
                    held += stage_->footprintMB(static_cast<AppId>(i));
            return std::max(0.0, stage_->totalMB() - stage_->baseMB() - held - slider_.shiftMB);
        }

        void keepWhatWasLearned()
        {
            if (learn_ && model_)
                learned_.insert_or_assign(threshold_, model_->usage());
        }

        std::string name_ = kPartsPolicy;
        bool learn_ = false;
        std::optional<Knobs> knobs_; // a predictor tried in the rule's place
        std::map<int, Predictor> predictors_;
        std::map<std::string, double> lastClose_;
        Foresight foresight_;
        std::string person_;
        int threshold_ = 0;
        std::map<int, model::Usage> learned_;
        Stage* stage_ = nullptr;
        SliderSetting slider_;
        std::unique_ptr<model::Day> model_;
        std::unordered_map<std::string, AppId> ids_;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy() { return std::make_unique<Parts>(); }

std::unique_ptr<Policy> makeLearnFromUsePolicy(const std::string& name, const Knobs& knobs)
{
    // With no knob given, the rule itself.
    bool rule = name == kLearnFromUsePolicy;
    return std::make_unique<Parts>(name, rule ? std::nullopt : std::optional<Knobs>(knobs));
}

std::unique_ptr<Policy> makeWatchedLearnFromUsePolicy(UsageWatch watch)
{
    auto policy = std::make_unique<Parts>(kLearnFromUsePolicy, std::nullopt);
    policy->watch_ = std::move(watch);
    return policy;
}

std::unique_ptr<Policy> makeForesightPolicy(std::string name, Foresight foresight)
{
    return std::make_unique<Parts>(std::move(name), std::move(foresight));
}

} // namespace replay
