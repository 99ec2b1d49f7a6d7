#pragma once
// Seeded days of use for the home-screen host: a scenario in the host's own command language.
// The same seed gives the same day on every machine (no std distributions, whose output the
// standard leaves to each library).

#include <cstdint>
#include <string>

namespace referee {

class Random {
public:
    // Seeds far apart, so that one seed's sequence is never another's shifted by a step.
    explicit Random(std::uint64_t seed) : state_(seed * 0xD1B54A32D192ED03ull + 0x2545F4914F6CDD1Dull) { }
    std::uint64_t next()
    {
        // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

// A day on the home screen: applications, launches and leaves, returns, calls, memory moves,
// settings changes, catalogue requests, installs and the chain's own names posted from outside,
// with `show suspects`, `show history` and `show diary` along the way and at the end (the diary a
// minute after the end).
std::string homeScreenDay(std::uint64_t seed);

} // namespace referee
