#pragma once
// A thread of the library's own that does a file's work for the home screen's thread, which only
// hands jobs over and never waits on the disk. The thread starts at the first job and sleeps
// while there is none; every job handed over while it works is done in its next turn, together.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

template <typename Job>
class BatchWriter {
public:
    // work: on the writer thread, every job handed over since its last turn, oldest first.
    // limit: jobs of more weight than this waiting at once are dropped (a stuck disk must not
    // grow the home screen without end).
    explicit BatchWriter(std::function<void(std::vector<Job>&)> work,
                         std::size_t limit = std::numeric_limits<std::size_t>::max())
        : work_(std::move(work))
        , limit_(limit)
    {
    }
    // Does what was handed over, then ends the thread. An owner declares its writer last, so
    // that the work never meets a member already gone.
    ~BatchWriter()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    enum class Handed {
        Taken,
        Dropped,  // over the limit, or the thread could not be started before
        NoThread, // the thread could not be started now: nothing handed over will be done
    };
    Handed hand(Job job, std::size_t weight = 1)
    {
        {
            std::lock_guard lock(mutex_);
            if (cannotStart_ || waiting_ + weight > limit_)
                return Handed::Dropped;
            if (!thread_.joinable()) {
                try {
                    thread_ = std::thread([this] { run(); });
                } catch (const std::system_error&) {
                    cannotStart_ = true;
                    return Handed::NoThread;
                }
            }
            waiting_ += weight;
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
        return Handed::Taken;
    }

    // Returns once every job handed over so far is done.
    void flush()
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return jobs_.empty() && !working_; });
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            std::vector<Job> jobs;
            jobs.swap(jobs_);
            waiting_ = 0;
            working_ = true;
            lock.unlock();
            work_(jobs);
            lock.lock();
            working_ = false;
            done_.notify_all();
        }
    }

    std::function<void(std::vector<Job>&)> work_;
    std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<Job> jobs_;
    std::size_t waiting_ = 0;
    bool working_ = false;
    bool stopping_ = false;
    bool cannotStart_ = false;
    std::thread thread_;
};
