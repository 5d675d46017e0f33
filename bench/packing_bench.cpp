// The block packing on its own: the greedy packing that finds most packings, the searches where it
// fails, and the proofs that no packing exists.

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "import/packing.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

using importing::ColorSet;

ColorSet range(int from, int to) {
    ColorSet set;
    for (int c = from; c < to; ++c) set.push_back(std::uint16_t(c));
    return set;
}

// Cells that are random parts of hidden blocks of 16 colours: `own` colours each block has alone, the
// rest drawn from a pool all of them share; `perBlock` cells of `size` colours each, or (perBlock 0)
// 256 cells of 4..16 colours from random blocks.
std::vector<ColorSet> hiddenBlocks(int blocks, int own, int perBlock, int size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<ColorSet> hidden(blocks);
    const int pool = 16 - own + 8;
    for (int h = 0; h < blocks; ++h) {
        hidden[h] = range(h * own, h * own + own);
        ColorSet shared = range(blocks * own, blocks * own + pool);
        std::shuffle(shared.begin(), shared.end(), random);
        hidden[h].insert(hidden[h].end(), shared.begin(), shared.begin() + (16 - own));
    }
    const auto part = [&](ColorSet set, std::size_t n) {
        std::shuffle(set.begin(), set.end(), random);
        set.resize(n);
        std::sort(set.begin(), set.end());
        return set;
    };
    std::vector<ColorSet> sets;
    if (perBlock == 0) {
        for (int c = 0; c < 256; ++c) sets.push_back(part(hidden[random() % blocks], 4 + random() % 13));
    } else {
        for (int h = 0; h < blocks; ++h)
            for (int k = 0; k < perBlock; ++k) sets.push_back(part(hidden[h], std::size_t(size)));
    }
    return sets;
}

// Cells from 16 hidden blocks that share most of their colours, as sprites that share a skin tone and
// an outline do: each block 16 colours drawn from a pool of `pool` (15 and a transparent one when
// `clear`, as the import packs pictures with transparent pixels), each cell `smallest..largest` of
// the colours of a random block.
struct Overlapping {
    int pool = 40, cells = 256, smallest = 3, largest = 10;
    bool clear = false;
};

std::vector<ColorSet> overlappingBlocks(const Overlapping& o, unsigned seed) {
    std::mt19937 random(seed);
    constexpr std::uint16_t kClear = 0xFFFF;
    std::vector<std::uint16_t> pool(std::size_t(o.pool));
    std::iota(pool.begin(), pool.end(), std::uint16_t(0));
    std::vector<ColorSet> hidden(16);
    for (ColorSet& block : hidden) {
        std::shuffle(pool.begin(), pool.end(), random);
        block.assign(pool.begin(), pool.begin() + (o.clear ? 15 : 16));
    }
    std::vector<ColorSet> sets;
    for (int c = 0; c < o.cells; ++c) {
        ColorSet cell = hidden[random() % 16];
        std::shuffle(cell.begin(), cell.end(), random);
        const int size = o.smallest + int(random() % unsigned(o.largest - o.smallest + 1));
        cell.resize(std::size_t(std::min(size, int(cell.size()))));
        if (o.clear) cell.push_back(kClear);
        std::sort(cell.begin(), cell.end());
        sets.push_back(cell);
    }
    return sets;
}

// The kinds of overlapping pictures the survey packs: the first is the one the default limit once
// failed on (pool 40, 256 cells of 3..10 colours); then fewer cells, smaller and larger pools, cells
// of 2..16 colours, and transparency.
const std::vector<Overlapping>& overlappingKinds() {
    static const std::vector<Overlapping> kinds{
        {40, 256, 3, 10, false}, {40, 128, 3, 10, false}, {40, 64, 3, 10, false},  {24, 256, 3, 10, false},
        {32, 256, 3, 10, false}, {64, 256, 3, 10, false}, {40, 256, 2, 16, false}, {40, 256, 3, 10, true},
    };
    return kinds;
}

// Eight pairs of 16-colour blocks given as halves and bridging middles: best-fit decreasing needs 24
// blocks, the search finds the 16.
std::vector<ColorSet> greedyTrap() {
    std::vector<ColorSet> sets;
    for (int p = 0; p < 8; ++p)
        for (int start : {0, 16, 8, 24, 4, 20}) sets.push_back(range(p * 32 + start, p * 32 + start + 8));
    return sets;
}

// 17 cells of 16 colours, each pair sharing 8: proven apart.
std::vector<ColorSet> seventeenApart() {
    std::vector<ColorSet> sets;
    for (int s = 0; s < 17; ++s) sets.push_back(range(s * 8, s * 8 + 16));
    return sets;
}

// 0: greedy packs 256 cells from 16 blocks; 1: only the search packs; 2: proof by 17 sets apart;
// 3: 34 cells from 17 blocks, proven by the complete search to need more than 16; 4: 51 cells from 17
// blocks that the search can neither pack nor prove within its limit; 5: 256 cells from 16 blocks
// drawn from a pool of 40 colours (the survey's first kind, seed 46, which only the searches pack).
std::vector<ColorSet> packingCase(int mode) {
    switch (mode) {
        case 0:
            return hiddenBlocks(16, 8, 0, 0, 7);
        case 1:
            return greedyTrap();
        case 2:
            return seventeenApart();
        case 3:
            return hiddenBlocks(17, 6, 2, 10, 630);
        case 4:
            return hiddenBlocks(17, 8, 3, 8, 838);
        default:
            return overlappingBlocks(overlappingKinds()[0], 46);
    }
}

void PackColorSets(benchmark::State& state) {
    const std::vector<ColorSet> sets = packingCase(int(state.range(0)));
    importing::Packing packing;
    timeEach(state, [&] { packing = importing::packColorSets(sets); });
    state.counters["searched"] = packing.searched ? 1 : 0;
    state.counters["outcome"] = double(int(packing.outcome));
}
BENCHMARK(PackColorSets)->DenseRange(0, 5)->UseManualTime();

// One kind of overlapping picture, 100 seeds, each packed once: how many pack within the default
// limit, and the slowest (one run, so a figure of the whole survey, not of one call).
void PackingSurvey(benchmark::State& state) {
    const Overlapping& kind = overlappingKinds()[std::size_t(state.range(0))];
    constexpr unsigned kSeeds = 100;
    int packed = 0;
    double slowest = 0, total = 0;
    for (auto _ : state) {
        for (unsigned seed = 0; seed < kSeeds; ++seed) {
            const std::vector<ColorSet> sets = overlappingBlocks(kind, seed);
            const auto start = Clock::now();
            const importing::Packing packing = importing::packColorSets(sets);
            const double seconds = secondsSince(start);
            packed += packing.outcome == importing::Packing::Outcome::Packed ? 1 : 0;
            slowest = std::max(slowest, seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
    }
    state.counters["seeds"] = kSeeds;
    state.counters["packed"] = packed;
    state.counters["slowest_ms"] = slowest * 1e3;
    state.counters["mean_ms"] = total / kSeeds * 1e3;
}
BENCHMARK(PackingSurvey)
    ->DenseRange(0, 7)
    ->Iterations(1)
    ->Repetitions(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nrbx::bench
