#include "hosts/springboard/device.h"

#include "hosts/springboard/springboard.h"
#include "platform/foundation/notification_center.h"
#include "contract/home_screen.h"
#include "platform/kernel/kernel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sb {
namespace {

    std::uint32_t pagesOf(double megabytes)
    {
        double pages = std::round(std::max(0.0, megabytes) * 1024 * 1024 / Device::kPageSize);
        return static_cast<std::uint32_t>(std::min(pages, double(std::numeric_limits<std::uint32_t>::max())));
    }

} // namespace

Device& Device::shared()
{
    static Device device;
    return device;
}

void Device::reset()
{
    // The suspect source belongs to whoever plays the device, not to the device.
    SuspectSource suspects = std::move(suspects_);
    std::function<void()> changed = std::move(changed_);
    std::function<void()> historyFlush = std::move(historyFlush_);
    std::function<void()> diaryFlush = std::move(diaryFlush_);
    std::function<void()> diaryWriteNow = std::move(diaryWriteNow_);
    *this = Device();
    suspects_ = std::move(suspects);
    changed_ = std::move(changed);
    historyFlush_ = std::move(historyFlush);
    diaryFlush_ = std::move(diaryFlush);
    diaryWriteNow_ = std::move(diaryWriteNow);
}

void Device::setCall(Call call)
{
    if (call_ == call)
        return;
    call_ = call;
    sv::NotificationCenter::defaultCenter().post(sv::home::note::CallStatusChanged);
}

void Device::setMemory(std::optional<double> totalMB, std::optional<double> baseMB)
{
    if (totalMB)
        totalMB_ = *totalMB;
    if (baseMB)
        baseMB_ = *baseMB;
}

double Device::appsMB() const
{
    double sum = 0;
    for (const std::string& bundleID : switcher_)
        if (const ApplicationState* state = applicationState(Springboard::shared().findApplication(bundleID)))
            sum += state->memoryMB;
    return sum;
}

double Device::freeMB() const
{
    if (pinnedFreeMB_)
        return *pinnedFreeMB_;
    return std::max(0.0, totalMB_ - baseMB_ - appsMB());
}

void Device::pages(std::uint32_t& freePages, std::uint32_t& inactivePages) const
{
    // A quarter of what is free sits on the inactive list, as on a device that has been in use.
    std::uint32_t all = pagesOf(freeMB());
    inactivePages = all / 4;
    freePages = all - inactivePages;
}

void Device::installKernelProviders() const
{
    sv::kernel::setPageSizeProvider([] { return std::optional<std::int32_t>(kPageSize); });
    sv::kernel::setStatisticsProvider([](sv::kernel::vm_statistics& statistics) {
        statistics = {};
        Device::shared().pages(statistics.words[0], statistics.words[2]);
        return true;
    });
}

void Device::launch(const std::string& bundleID)
{
    Springboard::shared().application(bundleID);
    std::erase(switcher_, bundleID);
    switcher_.insert(switcher_.begin(), bundleID);
    top_ = bundleID;
}

bool Device::close(id application)
{
    const ApplicationState* state = applicationState(application);
    if (!state || !running(state->key))
        return false;
    std::erase(switcher_, state->key);
    if (top_ == state->key)
        top_.reset();
    Springboard::shared().event("closed " + state->key);
    if (changed_)
        changed_();
    return true;
}

bool Device::running(std::string_view bundleID) const
{
    return std::find(switcher_.begin(), switcher_.end(), bundleID) != switcher_.end();
}

id Device::process(id application)
{
    const ApplicationState* state = applicationState(application);
    if (!state || !state->hasProcess)
        return nullptr;
    auto found = processes_.find(state->key);
    if (found == processes_.end())
        found = processes_.emplace(state->key, makeProcess(state->key)).first;
    return found->second.get();
}

void registerDeviceClasses()
{
    registerProcessClasses();
    registerTelephonyClasses();
    registerSwitcherClasses();
}

} // namespace sb
