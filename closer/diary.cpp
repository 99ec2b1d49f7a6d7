#include "closer/diary.h"

#include "closer/exemptions.h"
#include "closer/free_memory.h"
#include "closer/library_settings.h"
#include "contract/home_screen.h"
#include "platform/foundation/notification_center.h"
#include "platform/runtime/foundation_objects.h"

#include <chrono>
#include <string>
#include <utility>

namespace diary = slv::diary;

namespace {

std::int64_t nowMs()
{
    return std::chrono::round<std::chrono::milliseconds>(sv::RunLoop::main().wallNow().time_since_epoch()).count();
}

} // namespace

Diary& Diary::shared()
{
    static Diary diary;
    return diary;
}

void Diary::start()
{
    static const char kCallObserver = 0;
    sv::NotificationCenter::defaultCenter().addObserver(&kCallObserver, std::string(sv::home::note::CallStatusChanged),
                                                        [](const sv::Notification&) { Diary::shared().callChanged(); });
}

bool Diary::kept()
{
    bool on = slv::learnFromUse(readLibrarySettings().get());
    if (!on) {
        waiting_.clear();
        if (timer_)
            sv::RunLoop::main().cancelTimer(*timer_);
        timer_.reset();
        // Switched off since we last looked, or perhaps before this start: the diary goes. The
        // settings pane deletes it as the user turns the switch off; this catches a write of
        // ours that crossed that, and a switch turned off some other way.
        if (switchSeen_.value_or(false)
            || (!switchSeen_ && (sv::fs::exists(diary::Path) || sv::fs::exists(diary::SetAsidePath))))
            DiaryWriter::shared().remove();
    }
    switchSeen_ = on;
    return on;
}

void Diary::noteStateChange(id application, int state)
{
    namespace home_state = sv::home::state;
    if (state != home_state::Foreground && state != home_state::Left && state != home_state::Background)
        return;
    if (!kept())
        return;
    const std::string* identifier = sv::rt::stringValue(sv::rt::msgSend<id>(application, sv::home::sel::bundleIdentifier));
    if (!identifier || identifier->empty() || !diary::plainField(*identifier))
        return;
    bool arrival = state == home_state::Foreground;
    note({ arrival ? diary::Kind::Opened : diary::Kind::Closed, nowMs(), freeMebibytes(), *identifier,
           arrival ? std::string() : std::to_string(state) });
}

void Diary::noteClose(std::string_view bundleID, std::string_view reason)
{
    if (bundleID.empty() || !diary::plainField(bundleID) || !kept())
        return;
    note({ diary::Kind::OurClose, nowMs(), freeMebibytes(), std::string(bundleID), std::string(reason) });
}

void Diary::callChanged()
{
    bool inCall = callInProgress();
    if (inCall == inCall_)
        return;
    inCall_ = inCall;
    if (kept())
        note({ inCall ? diary::Kind::CallStart : diary::Kind::CallEnd, nowMs(), freeMebibytes(),
               std::string(diary::NoApplication), {} });
}

void Diary::note(DiaryEvent event)
{
    if (waiting_.size() >= kMaximumWaiting)
        return;
    waiting_.push_back(std::move(event));
    if (!timer_)
        timer_ = sv::RunLoop::main().scheduleTimer(kWriteDelay, [this] {
            timer_.reset();
            hand();
        });
}

void Diary::hand()
{
    if (kept())
        DiaryWriter::shared().append(std::exchange(waiting_, {}));
}

void Diary::reset()
{
    if (timer_)
        sv::RunLoop::main().cancelTimer(*timer_);
    timer_.reset();
    waiting_.clear();
    switchSeen_.reset();
    inCall_ = false;
    DiaryWriter::shared().reset();
}
