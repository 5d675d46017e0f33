#pragma once
// Weighted k-means (Lloyd's iterations) of colours into a block of at most 16, seeded k-means++ style
// (Arthur and Vassilvitskii, 2007).

#include <array>
#include <cstddef>

#include "import/colour_points.h"
#include "import/error_space.h"
#include "platform/random.h"

namespace nrbx::importing {

// An index drawn with probability proportional to its weight (k-means++ seeding); `total` is their sum.
template <class Weights>
std::size_t drawByWeight(const Weights& weights, double total, platform::SplitMix64& random) {
    double pick = random.uniform() * total;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        pick -= weights[i];
        if (pick < 0 && weights[i] > 0) return i;
    }
    for (std::size_t i = weights.size(); i-- > 0;)
        if (weights[i] > 0) return i;
    return 0;
}

// Weighted k-means of `points` (in `space`) into at most `capacity` colours, starting from `start`'s
// colours and seeding the rest k-means++ style. With `snap` every centre moves to its nearest grid colour
// after each step, so the iterations optimise the colours the palette can hold; without it the centres
// are free (cell summaries) and carry the weight they stand for in `weights`. Stops after `iterations`
// or once no point changes its centre.
Colours kMeans(ErrorSpace space, const Points& points, int capacity, const Colours* start, int iterations,
               bool snap, platform::SplitMix64& random,
               std::array<float, data::kColorsPerBlock>* weights = nullptr);

}  // namespace nrbx::importing
