// One system-wide post to observers that read, that never read (stopped or stuck: their sockets
// are full) and that are gone (socket files left behind), against the floor of one bare
// non-blocking datagram to each of as many reading sockets.
#include "platform/notify/darwin_notify.h"
#include "tests/support/device_root.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kName = "norv.slv.check.on.apps";

sockaddr_un addressOf(const sv::test::DeviceRoot& root, int number)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::string path = root.host(std::string(sv::notify::kFolder) + "/" + std::to_string(700000000 + number) + ".sock");
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
}

// Sockets bound in the notification folder; with a reader, a thread keeps them empty.
class Observers {
public:
    Observers(const sv::test::DeviceRoot& root, int count, bool reading)
    {
        std::filesystem::create_directories(root.host(sv::notify::kFolder));
        poller_ = ::epoll_create1(EPOLL_CLOEXEC);
        for (int i = 0; i < count; ++i) {
            int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            addresses.push_back(addressOf(root, i));
            ::bind(fd, reinterpret_cast<sockaddr*>(&addresses.back()), sizeof(sockaddr_un));
            epoll_event event {};
            event.events = EPOLLIN;
            event.data.fd = fd;
            ::epoll_ctl(poller_, EPOLL_CTL_ADD, fd, &event);
            sockets_.push_back(fd);
        }
        if (reading)
            reader_ = std::thread([this] { read(); });
    }
    ~Observers()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        for (int fd : sockets_)
            ::close(fd);
        ::close(poller_);
    }

    std::vector<sockaddr_un> addresses;

private:
    void read()
    {
        epoll_event events[64];
        char buffer[2048];
        while (!stop_) {
            int ready = ::epoll_wait(poller_, events, 64, 10);
            for (int i = 0; i < ready; ++i)
                while (::recv(events[i].data.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) { }
        }
    }

    int poller_ = -1;
    std::vector<int> sockets_;
    std::thread reader_;
    std::atomic<bool> stop_ { false };
};

void PostBaselineBareSends(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    Observers observers(root, static_cast<int>(state.range(0)), true);
    std::string name = kName;
    for (auto _ : state) {
        int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        for (const auto& address : observers.addresses)
            ::sendto(fd, name.data(), name.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::close(fd);
    }
}
BENCHMARK(PostBaselineBareSends)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

void PostToReadingObservers(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    Observers observers(root, static_cast<int>(state.range(0)), true);
    for (auto _ : state)
        notify_post(kName);
}
BENCHMARK(PostToReadingObservers)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

void PostToObserversThatNeverRead(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    Observers observers(root, static_cast<int>(state.range(0)), false);
    for (int i = 0; i < 20; ++i)
        notify_post(kName); // full from here on
    for (auto _ : state)
        notify_post(kName);
}
BENCHMARK(PostToObserversThatNeverRead)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// Each post finds the files of processes that are gone and sweeps them away.
void PostToGoneObservers(benchmark::State& state)
{
    sv::test::DeviceRoot root;
    std::filesystem::create_directories(root.host(sv::notify::kFolder));
    int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < count; ++i) {
            auto address = addressOf(root, i);
            int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            ::close(fd);
        }
        state.ResumeTiming();
        notify_post(kName);
    }
}
BENCHMARK(PostToGoneObservers)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

} // namespace
