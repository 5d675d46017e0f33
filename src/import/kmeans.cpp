#include "import/kmeans.h"

namespace nrbx::importing {

Colours kMeans(ErrorSpace space, const Points& points, int capacity, const Colours* start, int iterations,
               bool snap, platform::SplitMix64& random, std::array<float, data::kColorsPerBlock>* weights) {
    const auto& grid = gridPoints(space);
    Colours centres;
    const std::size_t n = points.size();
    if (n <= std::size_t(capacity)) {
        // Few enough: every colour exactly.
        for (std::size_t i = 0; i < n; ++i) {
            const GridKey k =
                snap && points.key[i] == kOffGrid ? nearestGridPoint(space, points.at(i)) : points.key[i];
            centres.set(int(i), snap ? grid[k] : points.at(i), k);
            if (weights) (*weights)[i] = points.w[i];
        }
        centres.count = int(n);
        return centres;
    }
    std::vector<float> nearestD(n, 0), distance(n);
    std::vector<std::uint8_t> index(n);
    const auto addCentre = [&](std::size_t i) {
        const GridKey k =
            snap && points.key[i] == kOffGrid ? nearestGridPoint(space, points.at(i)) : points.key[i];
        centres.set(centres.count++, snap ? grid[k] : points.at(i), k);
    };
    const auto refreshDistances = [&](double& total) {
        total = 0;
        nearestOf(points, centres, index.data(), distance.data());
        for (std::size_t i = 0; i < n; ++i) {
            nearestD[i] = points.w[i] * distance[i];
            total += nearestD[i];
        }
    };
    if (start) {
        for (int k = 0; k < start->count && centres.count < capacity; ++k)
            centres.set(centres.count++, start->at(k), start->key[k]);
    }
    if (centres.count == 0) {
        // The heaviest point first, so the seed matters only from the second centre on.
        addCentre(std::size_t(std::max_element(points.w.begin(), points.w.end()) - points.w.begin()));
    }
    double total = 0;
    while (centres.count < capacity) {
        refreshDistances(total);
        if (total <= 0) break;
        addCentre(drawByWeight(nearestD, total, random));
    }

    std::vector<std::uint8_t> owner(n, 0xFF);
    std::array<double, data::kColorsPerBlock> sumL, sumA, sumB, sumW;
    bool settled = false;  // sumW holds each centre's weight as the centres are now
    for (int iteration = 0; iteration < iterations; ++iteration) {
        sumL.fill(0), sumA.fill(0), sumB.fill(0), sumW.fill(0);
        bool moved = false;
        nearestOf(points, centres, index.data(), distance.data());
        for (std::size_t i = 0; i < n; ++i) {
            const Nearest near{index[i], distance[i]};
            moved |= owner[i] != near.index;
            owner[i] = std::uint8_t(near.index);
            nearestD[i] = points.w[i] * near.distance;
            const float w = points.w[i];
            sumL[near.index] += w * points.L[i], sumA[near.index] += w * points.a[i];
            sumB[near.index] += w * points.b[i], sumW[near.index] += w;
        }
        if (!moved && iteration > 0) {
            settled = true;
            break;
        }
        Colours next;
        next.count = centres.count;
        for (int k = 0; k < centres.count; ++k) {
            if (sumW[k] <= 0) continue;
            const Lab mean{float(sumL[k] / sumW[k]), float(sumA[k] / sumW[k]), float(sumB[k] / sumW[k])};
            if (!snap) {
                next.set(k, mean, kOffGrid);
                continue;
            }
            const GridKey key = nearestGridPoint(space, mean);
            bool taken = false;
            for (int j = 0; j < k; ++j) taken |= next.L[j] < kFar && next.key[j] == key;
            if (taken) continue;  // two centres on one grid colour: the second starts afresh below
            next.set(k, grid[key], key);
        }
        // An empty centre takes the point that is reproduced worst.
        for (int k = 0; k < centres.count; ++k) {
            if (next.L[k] < kFar) continue;
            std::size_t worst =
                std::size_t(std::max_element(nearestD.begin(), nearestD.end()) - nearestD.begin());
            if (nearestD[worst] <= 0) {
                // Nothing left to gain: drop the slot.
                next.L[k] = next.a[k] = next.b[k] = kFar;
                continue;
            }
            const GridKey key = snap && points.key[worst] == kOffGrid
                                    ? nearestGridPoint(space, points.at(worst))
                                    : points.key[worst];
            next.set(k, snap ? grid[key] : points.at(worst), key);
            nearestD[worst] = 0;
        }
        if (next.L == centres.L && next.a == centres.a && next.b == centres.b) {
            settled = true;  // the next step would change nothing
            break;
        }
        centres = next;
    }
    // Pack the slots left in use to the front.
    Colours packed;
    std::array<float, data::kColorsPerBlock> packedWeights{};
    std::array<double, data::kColorsPerBlock> used{};
    if (settled) {
        used = sumW;
    } else {
        nearestOf(points, centres, index.data(), distance.data());
        for (std::size_t i = 0; i < n; ++i) used[index[i]] += points.w[i];
    }
    for (int k = 0; k < centres.count; ++k) {
        if (centres.L[k] >= kFar || used[k] <= 0) continue;
        packedWeights[packed.count] = float(used[k]);
        packed.set(packed.count++, centres.at(k), centres.key[k]);
    }
    if (weights) *weights = packedWeights;
    return packed;
}

}  // namespace nrbx::importing
