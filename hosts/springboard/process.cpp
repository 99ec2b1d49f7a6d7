// "SBProcess" and what "SBApplication" says about its process and declared background modes.
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"
#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"

namespace sb {
namespace {

    struct ProcessState : sv::rt::ObjectState {
        std::string bundleID;
    };

    // The application a process runs, looked up afresh so that a re-described `app` is seen.
    const ApplicationState* runs(id process)
    {
        const ProcessState* state = sv::rt::state<ProcessState>(process);
        return state ? applicationState(Springboard::shared().findApplication(state->bundleID)) : nullptr;
    }

    // A process's answer: its application's flag; no for a process that runs none.
    template <bool ApplicationState::*Flag>
    bool processFlag(id self, SEL)
    {
        const ApplicationState* app = runs(self);
        return app && app->*Flag;
    }

    id process(id self, SEL) { return Device::shared().process(self); }
    bool supportsAudioBackgroundMode(id self, SEL) { return applicationState(self)->audio; }
    bool supportsLocationBackgroundMode(id self, SEL) { return applicationState(self)->location; }
    bool supportsVOIPBackgroundMode(id self, SEL) { return applicationState(self)->voip; }

    template <class R, class... Args>
    void addMethod(Class cls, const char* name, R (*imp)(id, SEL, Args...))
    {
        class_addMethod(cls, sv::rt::selector(name), sv::rt::toImp(imp), sv::rt::typeEncoding(imp).c_str());
    }

} // namespace

sv::rt::Ref makeProcess(const std::string& bundleID)
{
    sv::rt::Ref process = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass("SBProcess")));
    if (ProcessState* state = sv::rt::state<ProcessState>(process.get()))
        state->bundleID = bundleID;
    return process;
}

void registerProcessClasses()
{
    sv::rt::ClassBuilder("SBProcess")
        .state<ProcessState>()
        .method(sv::home::sel::supportsBackgroundTaskAssertions, &processFlag<&ApplicationState::taskAssertions>)
        .method(sv::home::sel::isNowPlayingWithAudio, &processFlag<&ApplicationState::playing>)
        .method(sv::home::sel::isRecordingAudio, &processFlag<&ApplicationState::recording>)
        .method(sv::home::sel::usesSocketMonitoring, &processFlag<&ApplicationState::sockets>)
        .method(sv::home::sel::hasWatchdogAssertionsOut, &processFlag<&ApplicationState::watchdog>)
        .registerClass();
    // "SBApplication" is registered by the application model; these answers join it here
    // (class_addMethod leaves a method the class already has alone).
    Class application = objc_getClass("SBApplication");
    if (!application)
        return;
    addMethod(application, sv::home::sel::process, &process);
    addMethod(application, sv::home::sel::supportsAudioBackgroundMode, &supportsAudioBackgroundMode);
    addMethod(application, sv::home::sel::supportsLocationBackgroundMode, &supportsLocationBackgroundMode);
    addMethod(application, sv::home::sel::supportsVOIPBackgroundMode, &supportsVOIPBackgroundMode);
}

} // namespace sb
