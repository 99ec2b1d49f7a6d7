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

void Diary::drop()
{
    waiting_.clear();
    if (timer_)
        sv::RunLoop::main().cancelTimer(*timer_);
    timer_.reset();
}

bool Diary::kept()
{
    auto settings = readLibrarySettings();
    diary::Switch state = diary::diarySwitch(settings.get());
    // A settings file that cannot be read says nothing of the switch: nothing is noted, nothing
    // deleted.
    if (state == diary::Switch::Unknown) {
        drop();
        return false;
    }
    bool on = state == diary::Switch::On;
    std::int64_t stamp = diary::offStamp(settings.get());
    // Off since the last look, even if on again by now: what was noted before it goes nowhere.
    bool offSince = stampSeen_ && *stampSeen_ != stamp;
    if (!on || offSince)
        drop();
    // The settings pane deletes the diary as the user turns the switch off; this catches a write
    // of ours that crossed that, a switch turned off some other way, and a delete that failed.
    if (offSince
        || (!on
            && (switchSeen_.value_or(false) || DiaryWriter::shared().removeFailed()
                || (!switchSeen_ && (sv::fs::exists(diary::Path) || sv::fs::exists(diary::SetAsidePath))))))
        DiaryWriter::shared().remove();
    switchSeen_ = on;
    stampSeen_ = stamp;
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
    note({ .timeMs = nowMs(), .app = *identifier, .kind = arrival ? diary::Kind::Opened : diary::Kind::Closed,
           .freeMB = freeMebibytes(), .detail = arrival ? std::string() : std::to_string(state) });
}

void Diary::noteClose(std::string_view bundleID, std::string_view reason)
{
    if (bundleID.empty() || !diary::plainField(bundleID) || !kept())
        return;
    note({ .timeMs = nowMs(), .app = std::string(bundleID), .kind = diary::Kind::OurClose, .freeMB = freeMebibytes(),
           .detail = std::string(reason) });
}

void Diary::callChanged()
{
    bool inCall = callInProgress();
    if (inCall == inCall_)
        return;
    inCall_ = inCall;
    if (kept())
        note({ .timeMs = nowMs(), .app = std::string(diary::NoApplication),
               .kind = inCall ? diary::Kind::CallStart : diary::Kind::CallEnd, .freeMB = freeMebibytes(),
               .detail = {} });
}

void Diary::note(slv::diary::DiaryLine line)
{
    if (waiting_.size() >= kMaximumWaiting)
        return;
    waiting_.push_back(std::move(line));
    if (!timer_)
        timer_ = sv::RunLoop::main().scheduleTimer(kWriteDelay, [this] {
            timer_.reset();
            hand();
        });
}

void Diary::hand()
{
    if (!kept())
        return;
    const sv::RunLoop& loop = sv::RunLoop::main();
    DiaryWriter::Present present { nowMs(),
                                   std::chrono::round<std::chrono::milliseconds>(loop.now()).count() };
    DiaryWriter::shared().append(std::exchange(waiting_, {}), *stampSeen_, present);
}

void Diary::writeNow()
{
    if (!timer_)
        return;
    sv::RunLoop::main().cancelTimer(*timer_);
    timer_.reset();
    hand();
}

void Diary::reset()
{
    drop();
    switchSeen_.reset();
    stampSeen_.reset();
    inCall_ = false;
    DiaryWriter::shared().reset();
}
