#pragma once
// The state of this process's notification centre, shared by its posting and its listening
// halves.

#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"
#include "platform/notify/notify_folder.h"
#include "platform/notify/stamp_table.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct DarwinNotifyCenter {
    struct Registration {
        std::string name;
        CFNotificationCallback callback;
        const void* observer;
        const void* object;
    };
    // Per observed name: the newest stamp delivered, and the newest a catch-up covered (its
    // datagrams still on their way are not delivered again).
    struct Progress {
        std::uint64_t seen = 0;
        std::uint64_t covered = 0;
    };
    struct OwnPost {
        std::string name;
        std::uint64_t stamp;
    };

    std::vector<Registration> registrations;
    std::map<std::string, Progress> progress;
    sv::notify::Tap tap = nullptr;
    void* tapContext = nullptr;
    sv::notify::Reporter reporter = nullptr;

    bool wanted = false;   // this process means to listen
    bool reported = false; // and has said why it cannot
    std::optional<sv::notify::NotifyFolder> folder;
    std::unique_ptr<sv::notify::StampTable> table;
    int socket = -1;
    ino_t socketInode = 0;
    std::string socketName;
    std::uint64_t misses = 0;

    // One run-loop source for everything that can wake this process: its socket, its own posts
    // and changes to the folder. One source, so that one turn of the loop is one bounded turn.
    int poller = -1;
    int wake = -1;
    int watch = -1;
    int watched = -1;
    sv::RunLoop::SourceId source = 0;

    // Posts may come from any thread of the process: each post holds this from start to end,
    // and the loop holds it to take its own posts.
    std::mutex posting;
    std::deque<OwnPost> own;
    // Own posts overflowed, or the socket was bound anew: names may have gone unheard.
    std::atomic<bool> catchUpDue = false;

    // What a process that does not listen there keeps for posting into a folder.
    std::pair<dev_t, ino_t> postFolder {};
    std::unique_ptr<sv::notify::StampTable> postTable;
    // Sockets of that folder found full at the last post: their miss is counted before sending.
    std::pair<dev_t, ino_t> fullFolder {};
    std::set<std::string, std::less<>> fullSockets;
};

namespace sv::notify::detail {

inline constexpr std::size_t kMaximumName = 1024;
// Own posts waiting for the loop; past this, the catch-up delivers each name once.
inline constexpr std::size_t kOwnLimit = 4096;

DarwinNotifyCenter& center();

// Binds this process's socket in the folder as it is now; says why not, once, when it cannot.
bool listen();
// Closes the socket and every source of this process's loop.
void dropSources();
// Sets each observed name's progress to the latest post in the current table.
void rebase();
void wakeOwnLoop();

} // namespace sv::notify::detail
