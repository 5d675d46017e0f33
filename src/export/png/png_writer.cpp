#include "export/png/png_writer.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <new>

#include "platform/failure.h"
#include "platform/file.h"

namespace nrbx::exporting {

namespace {

// libpng reports errors by longjmp, so the callbacks below hold only plain values when they hand
// control back to it.
struct Sink {
    std::vector<std::uint8_t>* bytes;
};

void appendBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + n);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    if (!stored) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

class WriteStruct {
  public:
    WriteStruct() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (m_png != nullptr) m_info = png_create_info_struct(m_png);
    }
    ~WriteStruct() { png_destroy_write_struct(&m_png, m_info != nullptr ? &m_info : nullptr); }
    WriteStruct(const WriteStruct&) = delete;
    WriteStruct& operator=(const WriteStruct&) = delete;

    bool ready() const { return m_png != nullptr && m_info != nullptr; }
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

  private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

platform::Failure encodingFailure() {
    return platform::Failure(platform::FailureKind::OutOfResources, "システム リソースが足りません");
}

bool hasPixelAlpha(const ExportImage& image) {
    return image.bpp == 24 && !image.alpha.empty();
}

// Rows as libpng takes them: RGB or RGBA bytes, or one index per pixel (libpng packs 4-bit rows itself).
std::vector<std::uint8_t> pngRows(const ExportImage& image) {
    if (image.bpp != 24) return image.pixels;
    const std::size_t channels = hasPixelAlpha(image) ? 4 : 3;
    std::vector<std::uint8_t> rgb(image.pixels.size() / 3 * channels);
    for (std::size_t p = 0, i = 0; i + 2 < image.pixels.size(); ++p, i += 3) {
        std::uint8_t* out = &rgb[p * channels];
        out[0] = image.pixels[i + 2];
        out[1] = image.pixels[i + 1];
        out[2] = image.pixels[i];
        if (channels == 4) out[3] = image.alpha[p];
    }
    return rgb;
}

// The libpng calls alone: no object with a destructor lives in this frame, so the longjmp of an error
// back to setjmp skips nothing that needs releasing. False when libpng reported an error.
bool writeWithLibpng(png_structp png, png_infop info, Sink* sink, const ExportImage& image, png_bytep* rows,
                     png_colorp plte, int plteSize) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    const bool indexed = image.bpp != 24;
    png_set_write_fn(png, sink, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 indexed ? image.bpp : 8,
                 indexed                ? PNG_COLOR_TYPE_PALETTE
                 : hasPixelAlpha(image) ? PNG_COLOR_TYPE_RGB_ALPHA
                                        : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) png_set_PLTE(png, info, plte, plteSize);
    if (indexed && !image.alpha.empty()) {
        // tRNS may stop at the last entry that is not opaque; the rest count as opaque.
        int count =
            static_cast<int>(std::min<std::size_t>(image.alpha.size(), static_cast<std::size_t>(plteSize)));
        while (count > 0 && image.alpha[static_cast<std::size_t>(count - 1)] == 255) --count;
        if (count > 0) png_set_tRNS(png, info, image.alpha.data(), count, nullptr);
    }
    // Flat sprite colours deflate better unfiltered: the demo picture is a quarter smaller than with
    // libpng's adaptive choice for RGB, and it is written faster.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    if (indexed && image.bpp < 8) png_set_packing(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::vector<std::uint8_t> encodePng(const ExportImage& image) {
    const bool indexed = image.bpp != 24;
    const std::vector<std::uint8_t> rows = pngRows(image);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * (indexed                ? 1
                                                                          : hasPixelAlpha(image) ? 4
                                                                                                 : 3);
    std::vector<png_bytep> rowPointers(image.height);
    for (int y = 0; y < image.height; ++y) {
        rowPointers[y] = const_cast<png_bytep>(rows.data() + y * rowBytes);
    }
    std::vector<png_color> plte;
    for (const auto& c : image.colorTable) plte.push_back(png_color{c.red, c.green, c.blue});
    std::vector<std::uint8_t> bytes;
    Sink sink{&bytes};

    WriteStruct ws;
    if (!ws.ready()) throw encodingFailure();
    if (!writeWithLibpng(ws.png(), ws.info(), &sink, image, rowPointers.data(), plte.data(),
                         static_cast<int>(plte.size()))) {
        throw encodingFailure();
    }
    return bytes;
}

void WritePngFile(const ExportImage& image, const std::string& path) {
    // Encoded before the file exists, so a failure here cannot touch the disk.
    const std::vector<std::uint8_t> bytes = encodePng(image);
    platform::AtomicOutputFile file(path);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

}  // namespace nrbx::exporting
