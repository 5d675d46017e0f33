#pragma once
// What the packing's two local searches share: their limits, their random numbers and their state of the
// sets.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/random.h"

namespace nrbx::importing {

struct LocalSearchLimits {
    int blocks = 0;  // at most this many blocks (1..32) ...
    int colors = 0;  // ... of at most this many colours
    // Work the search may do before it gives up, in units of one to a few nanoseconds (a set visited,
    // a word of colours counted): counted rather than timed, so that the answer does not depend on the
    // machine or its load.
    std::uint64_t work = 0;
    std::chrono::steady_clock::time_point deadline;
};

// Colour numbers below 256 as bits.
struct ColourBits {
    std::array<std::uint64_t, 4> words{};
    bool has(int c) const { return (words[std::size_t(c) / 64] >> (c % 64) & 1) != 0; }
    void add(int c) { words[std::size_t(c) / 64] |= std::uint64_t(1) << (c % 64); }
    void remove(int c) { words[std::size_t(c) / 64] &= ~(std::uint64_t(1) << (c % 64)); }
    // The colours of this set that `other` lacks, or has; counted in plain arithmetic, as the baseline
    // instruction set has no popcount instruction.
    int countWithout(const ColourBits& other) const { return countWhere(other, false); }
    int countWithin(const ColourBits& other) const { return countWhere(other, true); }

  private:
    int countWhere(const ColourBits& other, bool within) const {
        int n = 0;
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::uint64_t w = words[i] & (within ? other.words[i] : ~other.words[i]);
            w -= w >> 1 & 0x5555555555555555u;
            w = (w & 0x3333333333333333u) + (w >> 2 & 0x3333333333333333u);
            n += int(((w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu) * 0x0101010101010101u >> 56);
        }
        return n;
    }
};

// The one random stream (platform/random.h): the same numbers on every platform and library, so that
// the same sets always get the same packing.
class PackingRandom {
  public:
    explicit PackingRandom(std::uint64_t seed) : m_stream(seed) {}
    // 0..n-1, n > 0.
    int below(int n) { return int(m_stream.next() % std::uint64_t(n)); }

  private:
    platform::SplitMix64 m_stream;
};

// What both searches hold alike: the sets and their colours as bits, the limits, the random numbers
// and the work done so far.
class SetSearch {
  protected:
    SetSearch(const std::vector<std::vector<int>>& sets, int colorCount, const LocalSearchLimits& limits,
              unsigned restart)
        : m_sets(sets),
          m_n(int(sets.size())),
          m_m(colorCount),
          m_blocks(limits.blocks),
          m_limits(limits),
          m_random(restart),
          m_setColours(sets.size()) {
        for (std::size_t s = 0; s < sets.size(); ++s)
            for (int c : sets[s]) m_setColours[s].add(c);
    }

    // Each set's block, the blocks renumbered in the order the sets first take them.
    std::vector<int> numbered(std::vector<int> blockOf) const {
        std::vector<int> number(static_cast<std::size_t>(m_blocks), -1);
        int used = 0;
        for (int& b : blockOf) {
            if (number[std::size_t(b)] < 0) number[std::size_t(b)] = used++;
            b = number[std::size_t(b)];
        }
        return blockOf;
    }

    const std::vector<std::vector<int>>& m_sets;
    const int m_n, m_m, m_blocks;
    const LocalSearchLimits& m_limits;
    PackingRandom m_random;
    std::vector<ColourBits> m_setColours;
    std::uint64_t m_work = 0;
};

}  // namespace nrbx::importing
