// Export of the whole demo picture: the depth conversion and the BMP and PNG files, written to
// memory-backed /dev/shm.

#include <unistd.h>

#include <filesystem>
#include <string>

#include "demo_state.h"
#include "export/bmp_writer.h"
#include "export/export_image.h"
#include "export/png/png_writer.h"
#include "export/saved_picture.h"
#include "export/sprite_indexed.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

void SetExportDepth(benchmark::State& state) {
    loadDemo();
    const int bpp = int(state.range(0));
    const exporting::ExportImage picture = exporting::wholePictureExport();
    exporting::ExportImage image;
    // The conversion works in place, so each iteration starts from a fresh 24-bit copy (not timed).
    timeEach(
        state, [&] { image = picture; }, [&] { exporting::SetExportDepth(image, bpp); });
}
BENCHMARK(SetExportDepth)->Arg(8)->Arg(4)->UseManualTime();

// Times write(image, path) on a file in /dev/shm, so that the figure is the writer's and not the disk's.
template <typename Write>
void timeWriteInMemory(benchmark::State& state, const exporting::ExportImage& image, const char* extension,
                       Write write) {
    const std::filesystem::path dir = "/dev/shm";
    if (!std::filesystem::is_directory(dir)) {
        state.SkipWithError("/dev/shm is missing");
        return;
    }
    const std::string path = (dir / ("nrbx-bench-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(state.range(0)) + extension))
                                 .string();
    timeEach(state, [&] { write(image, path); });
    std::filesystem::remove(path);
}

void WriteBmpFile(benchmark::State& state) {
    loadDemo();
    const int bpp = int(state.range(0));
    const exporting::ExportImage image = exporting::savedPicture(std::nullopt, bpp);
    timeWriteInMemory(state, image, ".bmp", exporting::WriteBmpFile);
}
BENCHMARK(WriteBmpFile)->Arg(24)->Arg(8)->Arg(4)->UseManualTime();

// 24: RGB; 8: sprite-indexed (the palette table as colour table), as nrbx-export --indexed sprite writes.
void WritePngFile(benchmark::State& state) {
    loadDemo();
    const int bpp = int(state.range(0));
    const exporting::ExportImage image =
        bpp == 24 ? exporting::wholePictureExport() : exporting::spriteIndexedExport(0, 0, 15, 15, bpp);
    timeWriteInMemory(state, image, ".png", exporting::WritePngFile);
}
BENCHMARK(WritePngFile)->Arg(24)->Arg(8)->UseManualTime();

}  // namespace
}  // namespace nrbx::bench
