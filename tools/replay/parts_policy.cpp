// The library's own rules, as the referee's model states them: the replay hands the model what the
// home screen saw and carries out the closes it answers.
#include "tools/replay/policy.h"

#include "model/day.h"

#include <algorithm>
#include <unordered_map>

namespace replay {
namespace {

    bool has(const std::vector<std::string>& flags, const char* flag)
    {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }

    class Parts final : public Policy {
    public:
        std::string name() const override { return "parts"; }

        void beginDay(Stage& stage) override
        {
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
            }
        }

        void advanceTo(double time) override
        {
            if (time > model_->now())
                model_->advance(time - model_->now());
        }

    private:
        Stage* stage_ = nullptr;
        std::unique_ptr<model::Day> model_;
        std::unordered_map<std::string, AppId> ids_;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy() { return std::make_unique<Parts>(); }

} // namespace replay
