#pragma once
// SplitMix64 (Steele, Lea and Flood, 2014): one fixed stream of numbers for a fixed seed on every platform,
// and its finaliser, which carries every bit of a word into every bit of the result.

#include <cstdint>

namespace nrbx::platform {

constexpr std::uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

constexpr std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() { return mix64(m_state += kGoldenGamma); }
    // Uniform in [0, 1), from the top 53 bits.
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

  private:
    std::uint64_t m_state;
};

}  // namespace nrbx::platform
