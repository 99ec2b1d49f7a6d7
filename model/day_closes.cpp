// The closes the day has scheduled, the re-check chain that follows a marked one, and what a
// call held back, decided at its end.
#include "model/day.h"

#include <algorithm>
#include <utility>

namespace model {

// --- closes and the chain -------------------------------------------------------------------

void Day::callOff(const std::string& bundleID)
{
    for (auto& [order, close] : closes_)
        if (close.bundleID == bundleID)
            close.calledOff = true;
}

void Day::schedule(const std::string& key, const std::string& bundleID, bool killAgain, std::string reason,
                   std::optional<std::int64_t> freeMemory)
{
    // A close scheduled now replaces whatever a call held back for the application.
    std::erase(heldApps_, key);
    callOff(bundleID);
    std::uint64_t order = nextOrder_++;
    closes_[order] = Close { key, bundleID, killAgain, false, std::move(reason), freeMemory };
    due_[Due { now_ + kCloseDelay, order }] = { Job::Close, order };
}

bool Day::markedClosePending() const
{
    return std::any_of(closes_.begin(), closes_.end(), [](const auto& entry) { return entry.second.killAgain; });
}

void Day::closeDue(std::uint64_t order)
{
    if (callOn()) {
        heldCloses_.push_back(order);
        return;
    }
    auto found = closes_.find(order);
    if (found == closes_.end())
        return;
    Close close = std::move(found->second);
    closes_.erase(found);
    // The switcher's entries but the top one, by identifier.
    auto entry = std::find_if(switcher_.begin(), switcher_.end(), [&](const std::string& key) {
        return key != top_ && identifier(key) == close.bundleID;
    });
    // A save may have put it on the Never list since the decision: nothing is closed, but the
    // chain goes on.
    if (entry != switcher_.end() && !close.calledOff && !listed(never_, close.bundleID)) {
        std::string key = *entry;
        std::int64_t before = freeFigure();
        switcher_.erase(entry);
        emit(Event::Kind::Closed, key);
        // What the close freed shows the application's footprint (the listener may pin memory anew).
        if (settingsExist_ && learnFromUse_)
            usage_.closed(close.bundleID, before, freeFigure());
        history_.push_back(HistoryRecord { close.bundleID, wallOrigin_ + now_, close.reason, close.freeMemory, {} });
        if (history_.size() > kHistoryLimit)
            history_.erase(history_.begin(), history_.end() - kHistoryLimit);
        lastClose_[close.bundleID] = now_;
        if (!close.bundleID.empty() && diaryKept())
            diaryNote("Sleepvane Close", close.bundleID, close.reason);
    }
    if (close.killAgain) {
        awaitingRecheck_ = true;
        posts_.push_back(kKillApp);
    }
}

void Day::recheck()
{
    std::int64_t figure = freeFigure();
    if (suspects_.empty() || figure > threshold())
        return;
    // One chain at a time: a marked close still to come carries it on.
    if (markedClosePending())
        return;
    if (callOn()) {
        heldRecheck_ = true;
        return;
    }
    closeNextSuspect(figure);
}

void Day::callEnded()
{
    bool chainHeld = std::exchange(heldRecheck_, false);
    // A close that fell due is decided again, first of all; its application, taken off the
    // suspect list for it, rejoins it at the front, where the oldest is.
    std::vector<std::uint64_t> held;
    held.swap(heldCloses_);
    for (auto order = held.rbegin(); order != held.rend(); ++order) {
        auto found = closes_.find(*order);
        if (found == closes_.end())
            continue;
        Close close = std::move(found->second);
        closes_.erase(found);
        chainHeld = chainHeld || close.killAgain;
        if (close.calledOff)
            continue;
        if (std::find(suspects_.begin(), suspects_.end(), close.app) == suspects_.end())
            suspects_.insert(suspects_.begin(), close.app);
        std::erase(heldApps_, close.app);
        heldApps_.insert(heldApps_.begin(), close.app);
    }
    // One at a time: a decision that schedules another held application's close takes it out.
    // Low memory is compared once, by the first to get that far.
    bool compared = false;
    while (!heldApps_.empty()) {
        std::string key = heldApps_.front();
        heldApps_.erase(heldApps_.begin());
        compared = closePath(key, !compared) || compared;
    }
    // Unless the chain posted its name since and its re-check is still to come.
    if (chainHeld && !compared && !awaitingRecheck_)
        recheck();
}

void Day::post(const std::string& name)
{
    posts_.push_back(name);
}

void Day::deliver(const std::string& name)
{
    emit(Event::Kind::Posted, name);
    if (name == kKillApp) {
        // A later post starts the wait anew: one re-check for the chain.
        if (recheckWait_)
            due_.erase(*recheckWait_);
        recheckWait_ = Due { now_ + kRecheckDelay, nextOrder_++ };
        due_[*recheckWait_] = { Job::Recheck, 0 };
    } else if (name == kKillTest) {
        awaitingRecheck_ = false;
        recheck();
    }
}

void Day::drainPosts()
{
    while (!posts_.empty()) {
        std::string name = std::move(posts_.front());
        posts_.erase(posts_.begin());
        deliver(name);
    }
}

void Day::advance(double seconds)
{
    double deadline = now_ + std::max(0.0, seconds);
    drainPosts();
    while (!due_.empty() && due_.begin()->first.at <= deadline) {
        auto [when, job] = *due_.begin();
        due_.erase(due_.begin());
        now_ = std::max(now_, when.at);
        if (job.first == Job::Close) {
            closeDue(job.second);
        } else if (job.first == Job::DiaryWrite) {
            diaryWrite();
        } else {
            recheckWait_.reset();
            posts_.push_back(kKillTest);
        }
        drainPosts();
    }
    now_ = std::max(now_, deadline);
    drainPosts();
}

} // namespace model
