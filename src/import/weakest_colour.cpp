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
    std::vector<float> own(n);
    float error = errorOf(points, colours);
    for (int attempt = 0; attempt < attempts && colours.count >= 2; ++attempt) {
        // Each colour's error, and what its points would cost more at their second nearest colour.
        std::array<double, data::kColorsPerBlock> total{}, removal{};
        for (std::size_t i = 0; i < n; ++i) {
            float d[data::kColorsPerBlock];
            distances(colours, points.L[i], points.a[i], points.b[i], d);
            int first = 0;
            for (int k = 1; k < data::kColorsPerBlock; ++k)
                if (d[k] < d[first]) first = k;
            float second = kFar * kFar * 4;
            for (int k = 0; k < data::kColorsPerBlock; ++k)
                if (k != first) second = std::min(second, d[k]);
            owner[i] = std::uint8_t(first);
            own[i] = points.w[i] * d[first];
            total[std::size_t(first)] += own[i];
            removal[std::size_t(first)] += points.w[i] * (second - d[first]);
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
