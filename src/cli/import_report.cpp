#include "cli/import_report.h"

#include <cmath>
#include <cstdio>

#include "export/export_image.h"
#include "export/png/png_writer.h"
#include "import/error_map.h"
#include "import/quality.h"

namespace nrbx::cli {

namespace {

std::string fixed2(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

std::string qualityLine(const std::string& name, const importing::Quality& quality) {
    if (quality.opaquePixels == 0) return "picture " + name + ": no opaque pixel to measure the result by";
    const std::string psnr =
        std::isinf(quality.psnr) ? "infinite (no opaque pixel differs)" : fixed2(quality.psnr) + " dB";
    return "picture " + name + " as reduced: PSNR " + psnr + ", mean OKLab distance " +
           fixed2(quality.meanOklab * 100) + " (x 100), over its " + std::to_string(quality.opaquePixels) +
           " opaque pixel" + (quality.opaquePixels == 1 ? "" : "s");
}

namespace {

std::vector<std::uint8_t> errorMapPng(const importing::ErrorMapImage& map) {
    exporting::ExportImage image;
    image.width = map.width;
    image.height = map.height;
    image.pixels.resize(map.rgb.size());
    for (std::size_t at = 0; at < map.rgb.size(); at += 3) {
        image.pixels[at] = map.rgb[at + 2];
        image.pixels[at + 1] = map.rgb[at + 1];
        image.pixels[at + 2] = map.rgb[at];
    }
    return exporting::encodePng(image);
}

}  // namespace

ImportReport reportOn(const importing::Picture& picture, const importing::ImportResult& result,
                      const ImportOptions& o) {
    ImportReport report;
    if (!result.reduction || !(o.verbose || o.errorMap)) return report;
    const importing::ReducedPicture& reduced = result.reduction->pictures.front();
    const std::vector<std::uint8_t> shown = importing::shownColours(reduced, result.reduction->words);
    const importing::Quality quality = importing::measureQuality(
        picture, reduced, shown, o.alphaThreshold.value_or(importing::kDefaultAlphaThreshold));
    if (o.verbose) report.qualityLine = qualityLine(o.picture, quality);
    if (o.errorMap) report.errorMapPng = errorMapPng(importing::errorMap(reduced, shown, quality.cellError));
    return report;
}

}  // namespace nrbx::cli
