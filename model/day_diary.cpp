// The diary of use, as the library keeps it while Learn From Use is on (the rule is in day.h).
#include "model/day.h"

#include <cmath>
#include <string>
#include <utility>

namespace model {

namespace {
    constexpr double kDiaryWriteDelay = 60;
    constexpr std::int64_t kNewSession = 300 * 1000; // ms
}

bool Day::diaryKept()
{
    auto dropWaiting = [this] {
        diaryWaiting_.clear();
        if (diaryWrite_)
            due_.erase(*diaryWrite_);
        diaryWrite_.reset();
    };
    if (!settingsExist_ || !learnFromUseReadable_) {
        dropWaiting();
        return false;
    }
    bool on = learnFromUse_;
    bool offSince = diaryOffsSeen_ && *diaryOffsSeen_ != diaryOffs_;
    if (!on || offSince)
        dropWaiting();
    if (offSince || (!on && (diarySwitchSeen_.value_or(false) || (!diarySwitchSeen_ && !diary_.empty())))) {
        diary_.clear();
        diaryFront_.reset();
        diaryEmptySince_ = 0;
    }
    diarySwitchSeen_ = on;
    diaryOffsSeen_ = diaryOffs_;
    return on;
}

void Day::diaryNote(const char* kind, const std::string& app, std::string detail)
{
    std::int64_t ms = std::llround((wallOrigin_ + now_) * 1000);
    diaryWaiting_.push_back(DiaryLine { 0, ms, app, kind, freeFigure(), std::move(detail) });
    if (!diaryWrite_) {
        diaryWrite_ = Due { now_ + kDiaryWriteDelay, nextOrder_++ };
        due_[*diaryWrite_] = { Job::DiaryWrite, 0 };
    }
}

void Day::writeDiaryNow()
{
    if (!diaryWrite_)
        return;
    due_.erase(*diaryWrite_);
    diaryWrite();
}

void Day::diaryWrite()
{
    diaryWrite_.reset();
    if (!diaryKept())
        return;
    for (DiaryLine& line : diaryWaiting_) {
        bool opened = line.kind == std::string("Opened");
        if (diary_.empty())
            line.session = 1;
        else
            line.session = diary_.back().session
                + (opened && !diaryFront_ && line.timeMs - diaryEmptySince_ >= kNewSession ? 1 : 0);
        if (opened) {
            diaryFront_ = line.app;
        } else if (line.kind == std::string("Closed") && diaryFront_ == line.app) {
            diaryFront_.reset();
            diaryEmptySince_ = line.timeMs;
        } else if (diary_.empty()) {
            diaryEmptySince_ = line.timeMs;
        }
        diary_.push_back(std::move(line));
    }
    diaryWaiting_.clear();
}

} // namespace model
