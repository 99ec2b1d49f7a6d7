#include "closer/icon_writes.h"

#include "platform/ui/image_object.h"

#include <algorithm>
#include <system_error>

namespace {

// Images drawn but not yet written, at most: past this the adding thread writes one itself, so
// a drawing thread faster than its helpers neither waits nor piles up every image of the export.
constexpr std::size_t kMostWaiting = 16;

} // namespace

IconWrites::IconWrites(const sv::fs::Folder& folder, unsigned helpers)
    : folder_(folder)
    , wanted_(helpers)
{
}

IconWrites::~IconWrites()
{
    finish();
}

unsigned IconWrites::defaultHelpers()
{
    unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
    return std::min(cores, 4u) - 1;
}

void IconWrites::write(const Job& job) const
{
    auto png = UIImagePNGRepresentation(job.image.get());
    if (png)
        sv::fs::writeDataAtomicallyIn(folder_, job.name, png->data(), png->size(), sv::fs::Durability::Unflushed);
}

void IconWrites::add(id image, std::string name)
{
    Job job { sv::rt::Ref::retain(image), std::move(name) };
    // Helpers are started by the first image, so that an export that draws nothing starts none.
    if (!started_) {
        started_ = true;
        try {
            while (helpers_.size() < wanted_)
                helpers_.emplace_back([this] { help(); });
        } catch (const std::system_error&) {
            // No thread to be had: fewer helpers, or none.
        }
    }
    if (helpers_.empty()) {
        write(job);
        return;
    }
    std::unique_lock lock(mutex_);
    jobs_.push_back(std::move(job));
    bool crowded = jobs_.size() > kMostWaiting;
    lock.unlock();
    waiting_.notify_one();
    if (crowded) {
        lock.lock();
        writeNext(lock);
    }
}

bool IconWrites::writeNext(std::unique_lock<std::mutex>& lock)
{
    if (jobs_.empty())
        return false;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    write(job);
    // The image is let go of here, on whichever thread wrote it: its reference count is atomic.
    job = {};
    lock.lock();
    return true;
}

void IconWrites::help()
{
    std::unique_lock lock(mutex_);
    do
        waiting_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
    while (writeNext(lock));
}

void IconWrites::finish()
{
    std::unique_lock lock(mutex_);
    closed_ = true;
    waiting_.notify_all();
    // The adding thread takes its share of what is left instead of waiting for it.
    while (writeNext(lock)) { }
    lock.unlock();
    for (std::thread& helper : helpers_)
        helper.join();
    helpers_.clear();
}
