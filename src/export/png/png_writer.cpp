#include "export/png/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "export/image_ops.h"
#include "platform/failure.h"
#include "platform/file.h"

namespace nrbx::exporting {

namespace {

// Level 6: the lowest at which libdeflate's files are no larger than libpng's at its default (zlib
// level 6, unfiltered) for sprite pictures in their palette, random colours and indexed pictures alike
// (level 5 is larger on the demo picture), at well over twice libpng's speed; level 7 costs 1.4 to 2.3
// times as much for 2 to 5 % less.
constexpr int kDeflateLevel = 6;

// Where libdeflate at level 6 loses to zlib at level 6 (today's files, libpng's default), zlib does the
// work, so no file is larger than before (docs/performance.md): RGBA rows always (libdeflate was 8 to
// 16 % larger on them at level 6 and still larger on random colours at level 8), and RGB rows whose
// libdeflate stream is below a twelfth of them (few colours in long runs, as in the start-up palette:
// 2.5 % larger), where zlib is tried as well and the smaller stream kept. The sprite pictures the
// converter is for deflate to 9 to 10 % of their rows and stay on libdeflate alone.
constexpr std::size_t kRetryFraction = 12;
constexpr int kZlibLevel = 6;

// Sides beyond this are refused: twice the largest export (256 pixels at --scale 8), and a bound on the
// buffers (4096 x 4096 at four bytes a pixel is 64 MiB of rows) and on every chunk length.
constexpr std::size_t kMaxSide = 4096;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// zlib's stream with libpng's settings (window 15, memLevel 8, default strategy), kept and reset per
// picture like the compressor.
class ZlibStream {
  public:
    ZlibStream() = default;
    ZlibStream(const ZlibStream&) = delete;
    ZlibStream& operator=(const ZlibStream&) = delete;
    ~ZlibStream() {
        if (ready_) deflateEnd(&z_);
    }
    // The zlib stream of n bytes into out (room for at most room); 0 if it does not fit or zlib fails.
    std::size_t compress(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t room) {
        if (!ready_) {
            ready_ = deflateInit2(&z_, kZlibLevel, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
            if (!ready_) return 0;
        } else if (deflateReset(&z_) != Z_OK) {
            return 0;
        }
        const auto most = std::numeric_limits<uInt>::max();
        if (n > most || room > most) return 0;
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = static_cast<uInt>(n);
        z_.next_out = out;
        z_.avail_out = static_cast<uInt>(room);
        if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return 0;
        return static_cast<std::size_t>(z_.total_out);
    }

  private:
    z_stream z_{};
    bool ready_ = false;
};

// Kept for the life of the thread, so a batch allocates the compressor (656 KiB of tables at this
// level) and faults in the row and file buffers once rather than for every picture. Only sizes grow;
// what a call leaves behind is never read by the next one.
struct Scratch {
    std::unique_ptr<libdeflate_compressor, CompressorFree> compressor;
    ZlibStream zlib;
    std::vector<std::uint8_t> rows;  // a filter byte (0: none), then the row's bytes, per row
    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> retry;  // zlib's stream when it is tried after libdeflate's
};
thread_local Scratch t_scratch;

platform::Failure encodingFailure() {
    return platform::Failure(platform::FailureKind::OutOfResources, "システム リソースが足りません");
}

bool hasPixelAlpha(const ExportImage& image) {
    return image.bpp == 24 && !image.alpha.empty();
}

// Grows only: reused capacity keeps its pages.
void ensureSize(std::vector<std::uint8_t>& buffer, std::size_t n) {
    if (buffer.size() < n) buffer.resize(n);
}

void putBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// Length, type, n bytes of data already in place after them, and the CRC of type and data; returns
// the end of the chunk.
std::uint8_t* closeChunk(std::uint8_t* chunk, const char (&type)[5], std::size_t n) {
    putBe32(chunk, static_cast<std::uint32_t>(n));
    std::memcpy(chunk + 4, type, 4);
    putBe32(chunk + 8 + n, libdeflate_crc32(0, chunk + 4, n + 4));
    return chunk + 12 + n;
}

std::size_t rowBytesOf(const ExportImage& image) {
    const auto w = static_cast<std::size_t>(image.width);
    if (image.bpp == 4) return (w + 1) / 2;
    if (image.bpp == 8) return w;
    return w * (hasPixelAlpha(image) ? 4 : 3);
}

// Rows as PNG stores them, each unfiltered: flat sprite colours deflate better so than with any
// adaptive filter choice (the demo picture was a quarter smaller than with libpng's), and faster.
void fillRows(const ExportImage& image, std::uint8_t* out) {
    const auto w = static_cast<std::size_t>(image.width);
    const std::size_t rowBytes = rowBytesOf(image);
    const std::size_t inRow = image.bpp == 24 ? w * 3 : w;
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y, out += rowBytes + 1) {
        const std::uint8_t* in = image.pixels.data() + y * inRow;
        std::uint8_t* row = out + 1;
        out[0] = 0;
        if (image.bpp == 8) {
            std::memcpy(row, in, w);
        } else if (image.bpp == 4) {
            packNibbles(in, w, row);
        } else if (hasPixelAlpha(image)) {
            const std::uint8_t* alpha = image.alpha.data() + y * w;
            for (std::size_t x = 0; x < w; ++x) {
                row[x * 4] = in[x * 3 + 2];
                row[x * 4 + 1] = in[x * 3 + 1];
                row[x * 4 + 2] = in[x * 3];
                row[x * 4 + 3] = alpha[x];
            }
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                row[x * 3] = in[x * 3 + 2];
                row[x * 3 + 1] = in[x * 3 + 1];
                row[x * 3 + 2] = in[x * 3];
            }
        }
    }
}

// Refuses what no PNG decoder would take (or what does not describe itself), as libpng did.
void checkEncodable(const ExportImage& image) {
    const bool indexed = image.bpp == 8 || image.bpp == 4;
    const bool sane = image.width > 0 && image.height > 0 &&
                      static_cast<std::size_t>(image.width) <= kMaxSide &&
                      static_cast<std::size_t>(image.height) <= kMaxSide && (indexed || image.bpp == 24);
    if (!sane) throw encodingFailure();
    const auto count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    const bool complete = image.pixels.size() == count * (indexed ? 1 : 3) &&
                          (indexed || image.alpha.empty() || image.alpha.size() == count);
    const bool tableFits =
        !indexed || (!image.colorTable.empty() && image.colorTable.size() <= (std::size_t{1} << image.bpp));
    if (!complete || !tableFits) throw encodingFailure();
}

// The whole file in the thread's scratch; returns its size.
std::size_t encodeToScratch(const ExportImage& image) {
    checkEncodable(image);
    Scratch& s = t_scratch;
    if (!s.compressor) {
        s.compressor.reset(libdeflate_alloc_compressor(kDeflateLevel));
        if (!s.compressor) throw encodingFailure();
    }
    const bool indexed = image.bpp != 24;
    const std::size_t rowsSize = (rowBytesOf(image) + 1) * static_cast<std::size_t>(image.height);
    // tRNS may stop at the last entry that is not opaque; the rest count as opaque.
    std::size_t trns = indexed ? std::min(image.alpha.size(), image.colorTable.size()) : 0;
    while (trns > 0 && image.alpha[trns - 1] == 255) --trns;
    const std::size_t plte = indexed ? image.colorTable.size() * 3 : 0;
    const std::size_t bound = std::max<std::size_t>(
        libdeflate_zlib_compress_bound(s.compressor.get(), rowsSize), compressBound(rowsSize));
    const std::size_t most = 8 + 25 + (plte ? 12 + plte : 0) + (trns ? 12 + trns : 0) + 12 + bound + 12;
    try {
        ensureSize(s.rows, rowsSize);
        ensureSize(s.file, most);
    } catch (const std::bad_alloc&) {
        throw encodingFailure();
    }
    fillRows(image, s.rows.data());

    static constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::uint8_t* p = std::copy(kSignature.begin(), kSignature.end(), s.file.data());
    std::uint8_t* data = p + 8;
    putBe32(data, static_cast<std::uint32_t>(image.width));
    putBe32(data + 4, static_cast<std::uint32_t>(image.height));
    data[8] = std::uint8_t(indexed ? image.bpp : 8);                     // bit depth
    data[9] = std::uint8_t(indexed ? 3 : hasPixelAlpha(image) ? 6 : 2);  // colour type
    data[10] = data[11] = data[12] = 0;  // deflate, adaptive filtering (rows say none), no interlace
    p = closeChunk(p, "IHDR", 13);
    if (indexed) {
        data = p + 8;
        for (const auto& c : image.colorTable) *data++ = c.red, *data++ = c.green, *data++ = c.blue;
        p = closeChunk(p, "PLTE", plte);
    }
    if (trns > 0) {
        std::memcpy(p + 8, image.alpha.data(), trns);
        p = closeChunk(p, "tRNS", trns);
    }
    std::uint8_t* const stream = p + 8;
    std::size_t idat = 0;
    if (hasPixelAlpha(image)) {
        idat = s.zlib.compress(s.rows.data(), rowsSize, stream, bound);
    } else {
        idat = libdeflate_zlib_compress(s.compressor.get(), s.rows.data(), rowsSize, stream, bound);
        if (!indexed && idat != 0 && idat < rowsSize / kRetryFraction) {
            try {
                ensureSize(s.retry, idat);
            } catch (const std::bad_alloc&) {
                throw encodingFailure();
            }
            // Only a smaller stream fits the room, so anything zlib returns here wins.
            const std::size_t other = s.zlib.compress(s.rows.data(), rowsSize, s.retry.data(), idat - 1);
            if (other != 0) {
                std::memcpy(stream, s.retry.data(), other);
                idat = other;
            }
        }
    }
    if (idat == 0 || idat > std::numeric_limits<std::int32_t>::max()) throw encodingFailure();
    p = closeChunk(p, "IDAT", idat);
    p = closeChunk(p, "IEND", 0);
    return static_cast<std::size_t>(p - s.file.data());
}

}  // namespace

std::vector<std::uint8_t> encodePng(const ExportImage& image) {
    const std::size_t n = encodeToScratch(image);
    return std::vector<std::uint8_t>(t_scratch.file.begin(), t_scratch.file.begin() + n);
}

void WritePngFile(const ExportImage& image, const std::string& path) {
    // Encoded before the file exists, so a failure here cannot touch the disk.
    const std::size_t n = encodeToScratch(image);
    platform::AtomicOutputFile file(path);
    file.write(t_scratch.file.data(), n);
    file.commit();
}

}  // namespace nrbx::exporting
