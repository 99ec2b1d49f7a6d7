// The library's own rules, as the referee's model states them: the replay hands the model what the
// home screen saw and carries out the closes it answers. learn-from-use is the same rules with
// the switch on, what was learned carried from one day of a person to the next at each threshold,
// as the library's file carries it. The foresight bound is the same rules again, choosing with
// knowledge of the day ahead where Learn From Use chooses by what it learned.
#include "tools/replay/parts_policy.h"

#include "model/day.h"

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
        Parts(std::string name, model::Predictor predictor)
            : name_(std::move(name))
            , learn_(true)
            , predictor_(predictor)
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
                auto found = ids_.find(event.what);
                if (found != ids_.end())
                    stage_->close(found->second, event.time);
                model_->pinFree(stage_->freeMemoryMB());
            });
            model::Day& m = *model_;
            m.memory(stage.totalMB(), stage.baseMB());
            m.setThreshold(stage.threshold());
            if (!day.never.empty())
                m.setNever(day.never);
            if (!day.always.empty())
                m.setAlways(day.always);
            if (day.alwaysKill)
                m.setAlwaysKill(true);
            if (learn_) {
                const std::string& person = day.person.empty() ? day.label : day.person;
                if (person != person_)
                    learned_.clear();
                person_ = person;
                threshold_ = stage.threshold();
                auto found = learned_.find(threshold_);
                // What was learned goes into the day; it comes back out at the next day's start.
                m.setUsage(found != learned_.end() ? std::move(found->second) : model::Usage(predictor_));
                m.setLearnFromUse(true);
            } else if (foresight_) {
                model::Usage usage;
                usage.answerWith([this](const std::string& id) {
                    auto found = ids_.find(id);
                    return found == ids_.end() ? 0 : foresight_(*stage_, found->second, model_->now());
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
            m.pinFree(stage_->freeMemoryMB());
            switch (event.kind) {
            case Event::Kind::Launch:
                m.launch(day.apps[event.app].bundleID);
                break;
            case Event::Kind::Home:
                m.home();
                break;
            case Event::Kind::State:
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
        }

        void advanceTo(double time) override
        {
            if (time > model_->now())
                model_->advance(time - model_->now());
        }

    private:
        void keepWhatWasLearned()
        {
            if (learn_ && model_)
                learned_.insert_or_assign(threshold_, model_->usage());
        }

        std::string name_ = "parts";
        bool learn_ = false;
        model::Predictor predictor_;
        Foresight foresight_;
        std::string person_;
        int threshold_ = 0;
        std::map<int, model::Usage> learned_;
        Stage* stage_ = nullptr;
        std::unique_ptr<model::Day> model_;
        std::unordered_map<std::string, AppId> ids_;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy() { return std::make_unique<Parts>(); }

std::unique_ptr<Policy> makeLearnFromUsePolicy(const std::string& name, const Knobs& knobs)
{
    model::Predictor predictor;
    if (knobs.half)
        predictor.halfLifeUses = *knobs.half;
    if (knobs.extra)
        predictor.returnExtra = *knobs.extra;
    if (knobs.follow)
        predictor.followWeight = *knobs.follow;
    if (knobs.window)
        predictor.windowUses = *knobs.window;
    predictor.recencyOnly = knobs.recency;
    return std::make_unique<Parts>(name, predictor);
}

std::unique_ptr<Policy> makeForesightPolicy(std::string name, Foresight foresight)
{
    return std::make_unique<Parts>(std::move(name), std::move(foresight));
}

} // namespace replay
