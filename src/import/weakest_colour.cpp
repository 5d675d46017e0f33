#include "import/weakest_colour.h"

#include <algorithm>
#include <array>
#include <vector>

#include "import/kmeans.h"

namespace nrbx::importing {

void moveWeakestColour(ErrorSpace space, const Points& points, int capacity, int attempts, int iterations,
                       Colours& colours, platform::SplitMix64& random) {
    const auto& grid = gridPoints(space);
    const std::size_t n = points.size();
    std::vector<std::uint8_t> owner(n);
    std::vector<float> own(n), first(n), second(n);
    float error = errorOf(points, colours);
    for (int attempt = 0; attempt < attempts && colours.count >= 2; ++attempt) {
        // Each colour's error, and what its points would cost more at their second nearest colour.
        std::array<double, data::kColorsPerBlock> total{}, removal{};
        nearestTwoOf(points, colours, owner.data(), first.data(), second.data());
        for (std::size_t i = 0; i < n; ++i) {
            own[i] = points.w[i] * first[i];
            total[owner[i]] += own[i];
            removal[owner[i]] += points.w[i] * (second[i] - first[i]);
        }
        const auto end = static_cast<std::ptrdiff_t>(colours.count);
        const int weakest = int(std::min_element(removal.begin(), removal.begin() + end) - removal.begin());
        const int worst = int(std::max_element(total.begin(), total.begin() + end) - total.begin());
        if (weakest == worst) return;
        std::size_t seed = n;
        for (std::size_t i = 0; i < n; ++i)
            if (owner[i] == worst && (seed == n || own[i] > own[seed])) seed = i;
        if (seed == n) return;
        Colours trial = colours;
        const GridKey key =
            points.key[seed] == kOffGrid ? nearestGridPoint(space, points.at(seed)) : points.key[seed];
        trial.set(weakest, grid[key], key);
        trial = kMeans(space, points, capacity, &trial, iterations, true, random);
        const float trialError = errorOf(points, trial);
        if (!(trialError < error)) return;
        colours = trial, error = trialError;
    }
}

}  // namespace nrbx::importing
