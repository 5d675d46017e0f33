#pragma once
// What the packing's two local searches share: their limits and their random numbers.

#include <chrono>
#include <cstdint>

namespace nrbx::importing {

struct LocalSearchLimits {
    int blocks = 0;  // at most this many blocks (1..32) ...
    int colors = 0;  // ... of at most this many colours
    std::uint64_t steps = 0;
    std::chrono::steady_clock::time_point deadline;
};

// splitmix64: the same numbers on every platform and library, so that the same sets always get the
// same packing.
class PackingRandom {
  public:
    explicit PackingRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // 0..n-1, n > 0.
    int below(int n) { return int(next() % std::uint64_t(n)); }

  private:
    std::uint64_t m_state;
};

}  // namespace nrbx::importing
