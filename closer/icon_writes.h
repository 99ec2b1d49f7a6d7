#pragma once
// The images of a catalogue rebuild, encoded and written on every core: drawing needs the home
// screen's objects and stays on its thread, which hands each image it draws over to helper
// threads and then helps them until the last one is written.

#include "platform/foundation/files.h"
#include "platform/runtime/object.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IconWrites {
public:
    // Writes into folder, which must outlive this; helpers is how many threads help the one
    // that adds (none: each image is written as it is added).
    explicit IconWrites(const sv::fs::Folder& folder, unsigned helpers = defaultHelpers());
    ~IconWrites();
    IconWrites(const IconWrites&) = delete;
    IconWrites& operator=(const IconWrites&) = delete;

    // A helper for each core but the caller's, at most three.
    static unsigned defaultHelpers();

    // Writes image (a UIImage, retained until written) as PNG under name, a plain file name,
    // unflushed: what a power cut leaves of it is found by the next export's change test. Only
    // one thread adds; the images may be written in any order.
    void add(id image, std::string name);

    // Returns once every image added is written, or could not be.
    void finish();

private:
    struct Job {
        sv::rt::Ref image;
        std::string name;
    };

    void write(const Job& job) const;
    // Writes the job first in line, the lock let go meanwhile; false when there is none.
    bool writeNext(std::unique_lock<std::mutex>& lock);
    void help();

    const sv::fs::Folder& folder_;
    const unsigned wanted_;
    std::mutex mutex_;
    std::condition_variable waiting_;
    std::deque<Job> jobs_;
    bool closed_ = false;
    bool started_ = false;
    std::vector<std::thread> helpers_;
};
