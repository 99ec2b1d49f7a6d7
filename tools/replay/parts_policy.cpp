// The library's own rules, as the referee's model states them: the replay hands the model what the
// home screen saw and carries out the closes it answers. learn-from-use is the same rules with
// the switch on, what was learned carried from one day of a person to the next at each threshold,
// as the library's file carries it.
#include "tools/replay/policy.h"

#include "model/day.h"

#include <algorithm>
#include <cstdlib>
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
                m.setUsage(found != learned_.end() ? found->second : model::Usage(predictor_));
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
                m.call(static_cast<model::Call>(event.call));
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
        std::string person_;
        int threshold_ = 0;
        std::map<int, model::Usage> learned_;
        Stage* stage_ = nullptr;
        std::unique_ptr<model::Day> model_;
        std::unordered_map<std::string, AppId> ids_;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy() { return std::make_unique<Parts>(); }

// "learn-from-use", or "learn-from-use:<knob>=<value>,..." for a predictor tried beside it
// (half=<uses>, extra=<n>, follow=<weight>, window=<uses>, recency).
std::unique_ptr<Policy> makeLearnFromUsePolicy(const std::string& name)
{
    model::Predictor predictor;
    std::string knobs = name.substr(std::min(name.size(), std::string("learn-from-use:").size()));
    std::size_t at = 0;
    while (at < knobs.size()) {
        std::size_t end = std::min(knobs.find(',', at), knobs.size());
        std::string knob = knobs.substr(at, end - at);
        std::size_t eq = knob.find('=');
        std::string key = knob.substr(0, eq);
        double value = eq == std::string::npos ? 0 : std::strtod(knob.c_str() + eq + 1, nullptr);
        if (key == "half" && value > 0)
            predictor.halfLifeUses = value;
        else if (key == "extra")
            predictor.returnExtra = value;
        else if (key == "follow")
            predictor.followWeight = value;
        else if (key == "window" && value > 0)
            predictor.windowUses = static_cast<int>(value);
        else if (key == "recency")
            predictor.recencyOnly = true;
        else
            return nullptr;
        at = end + 1;
    }
    return std::make_unique<Parts>(name, predictor);
}

} // namespace replay
