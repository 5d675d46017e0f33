// nrbx-reduce-baseline 16|256 PICTURE OUT.ppm: the plain reductions bench/reduce_psnr.py measures
// --reduce against. One global k-means of all pixels (OKLab, from evenly spaced distinct colours,
// snapped to the five-bit grid at the end) into 16 colours, one block for every cell; or into 256
// colours sorted by hue and cut into 16 blocks of 16, each cell taking the block that reproduces it
// best. Each pixel takes the nearest colour of its block; no dithering. Alpha below 128 is left black,
// as the PSNR script does not count those pixels.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/palette.h"
#include "import/oklab.h"
#include "import/picture.h"
#include "platform/failure.h"

namespace {

using namespace nrbx;
using importing::Lab;

constexpr int kBlock = 16;

float nearest(const std::vector<Lab>& colours, std::size_t from, std::size_t to, const Lab& p, int& index) {
    float best = -1;
    for (std::size_t k = from; k < to; ++k) {
        const float d = importing::distance2(colours[k], p);
        if (best < 0 || d < best) best = d, index = int(k);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::string(argv[1]) != "16" && std::string(argv[1]) != "256")) {
        std::fprintf(stderr, "usage: nrbx-reduce-baseline 16|256 PICTURE OUT.ppm\n");
        return 2;
    }
    const int kColours = std::stoi(argv[1]);
    ++argv;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    importing::Picture picture;
    try {
        picture = importing::decodePicture(bytes, argv[1]);
    } catch (const platform::Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.message().c_str());
        return 1;
    }
    const std::size_t count = std::size_t(picture.width) * picture.height;
    std::vector<Lab> pixels(count);
    std::vector<bool> opaque(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = picture.rgba.data() + i * 4;
        pixels[i] = importing::labFromRgb(p[0], p[1], p[2]);
        opaque[i] = p[3] >= 128;
    }

    // Plain Lloyd iterations from evenly spaced distinct colours.
    std::vector<std::uint32_t> distinct;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = picture.rgba.data() + i * 4;
        if (opaque[i]) distinct.push_back(std::uint32_t(p[0] << 16 | p[1] << 8 | p[2]));
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.empty()) distinct.push_back(0);
    std::vector<Lab> colours;
    for (int k = 0; k < kColours; ++k) {
        const std::uint32_t c = distinct[(distinct.size() * std::size_t(k)) / std::size_t(kColours)];
        colours.push_back(
            importing::labFromRgb(std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)));
    }
    std::vector<int> owner(count);
    for (int iteration = 0; iteration < 10; ++iteration) {
        std::vector<double> sum(kColours * 4, 0);
        for (std::size_t i = 0; i < count; ++i) {
            if (!opaque[i]) continue;
            nearest(colours, 0, colours.size(), pixels[i], owner[i]);
            double* s = sum.data() + owner[i] * 4;
            s[0] += pixels[i].L, s[1] += pixels[i].a, s[2] += pixels[i].b, s[3] += 1;
        }
        for (int k = 0; k < kColours; ++k) {
            const double* s = sum.data() + k * 4;
            if (s[3] > 0) colours[k] = Lab{float(s[0] / s[3]), float(s[1] / s[3]), float(s[2] / s[3])};
        }
    }
    std::vector<importing::GridKey> keys;
    for (const Lab& c : colours) keys.push_back(importing::nearestGridColour(c));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    colours.clear();
    for (importing::GridKey k : keys) colours.push_back(importing::gridLab()[k]);
    // Greys first (by lightness), then by hue angle.
    std::sort(colours.begin(), colours.end(), [](const Lab& p, const Lab& q) {
        const bool greyP = std::hypot(p.a, p.b) < 0.03f, greyQ = std::hypot(q.a, q.b) < 0.03f;
        if (greyP != greyQ) return greyP;
        if (greyP) return p.L < q.L;
        return std::atan2(p.b, p.a) < std::atan2(q.b, q.a);
    });

    const auto end = [&](int block) { return std::min(colours.size(), std::size_t(block + 1) * kBlock); };
    std::vector<std::uint8_t> out(count * 3, 0);
    const int columns = picture.width / 16, rows = picture.height / 16;
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < columns; ++cx) {
            int bestBlock = 0;
            double bestError = -1;
            for (int b = 0; b * kBlock < int(colours.size()); ++b) {
                double error = 0;
                for (int y = cy * 16; y < cy * 16 + 16; ++y) {
                    for (int x = cx * 16; x < cx * 16 + 16; ++x) {
                        const std::size_t i = std::size_t(y) * picture.width + x;
                        int unused;
                        if (opaque[i]) error += nearest(colours, b * kBlock, end(b), pixels[i], unused);
                    }
                }
                if (bestError < 0 || error < bestError) bestError = error, bestBlock = b;
            }
            for (int y = cy * 16; y < cy * 16 + 16; ++y) {
                for (int x = cx * 16; x < cx * 16 + 16; ++x) {
                    const std::size_t i = std::size_t(y) * picture.width + x;
                    if (!opaque[i]) continue;
                    int k = 0;
                    nearest(colours, bestBlock * kBlock, end(bestBlock), pixels[i], k);
                    const importing::GridKey key = importing::nearestGridColour(colours[k]);
                    out[i * 3] = std::uint8_t(importing::gridRed(key) * importing::kGridStep);
                    out[i * 3 + 1] = std::uint8_t(importing::gridGreen(key) * importing::kGridStep);
                    out[i * 3 + 2] = std::uint8_t(importing::gridBlue(key) * importing::kGridStep);
                }
            }
        }
    }
    std::ofstream ppm(argv[2], std::ios::binary);
    ppm << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    ppm.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return ppm ? 0 : 1;
}
