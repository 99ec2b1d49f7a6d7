#include "settings/pending_saves.h"

#include "contract/settings_contract.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"

namespace {
    sv::Dictionary& waiting()
    {
        static sv::Dictionary entries;
        return entries;
    }

    sv::RunLoop::TimerId& retryTimer()
    {
        static sv::RunLoop::TimerId timer = 0;
        return timer;
    }
}

const sv::Dictionary& SLVPendingSaves::pending()
{
    return waiting();
}

void SLVPendingSaves::save(const sv::Dictionary& changes)
{
    for (const auto& [key, value] : changes)
        waiting().insert_or_assign(key, value);
    retry();
}

void SLVPendingSaves::retry()
{
    attempt(false);
}

void SLVPendingSaves::attempt(bool retrying)
{
    if (waiting().empty())
        return;
    // Once the lock was found stuck, a drag's every update must not wait the whole deadline
    // again: it only tries, and the retry timer waits.
    static bool lastBusy = false;
    double timeout = lastBusy && !retrying ? kBusyTimeout : sv::plist::kLockTimeout;
    auto result = sv::plist::updateEntries(slv::settingsPath(), waiting(), timeout);
    lastBusy = result == sv::plist::UpdateResult::Busy;
    // Done when written or found already in the file; an unreadable file is left alone and the
    // change dropped, without a word. Only a busy lock or a failed write is tried again.
    using Result = sv::plist::UpdateResult;
    if (result != Result::Busy && result != Result::WriteFailed) {
        waiting().clear();
        return;
    }
    // Copied: an observer may save again while we tell.
    sv::Dictionary failed = waiting();
    for (const auto& [key, value] : failed)
        sv::NotificationCenter::defaultCenter().post(
            slv::local::SaveFailed, nullptr, sv::Dictionary { { std::string(slv::local::SaveFailedKey), sv::Value(key) } });
    // One retry pending at a time, counted from the latest failure.
    sv::RunLoop::main().cancelTimer(retryTimer());
    retryTimer() = sv::RunLoop::main().scheduleTimer(kRetryDelay, [] { attempt(true); });
}
