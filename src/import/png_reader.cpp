// PNG pictures over libpng. libpng reports errors by longjmp, so everything it may jump over is a plain
// value: the buffers are owned by the caller, and the error text is copied into a fixed array.

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "import/picture.h"
#include "platform/failure.h"

namespace nrbx::importing {

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    char error[160];
};

void readBytes(png_structp png, png_bytep out, png_size_t n) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (n > source->size - source->pos) png_error(png, "truncated file");
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
}

void onError(png_structp png, png_const_charp message) {
    auto* source = static_cast<Source*>(png_get_error_ptr(png));
    std::strncpy(source->error, message, sizeof source->error - 1);
    source->error[sizeof source->error - 1] = '\0';
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

class ReadStruct {
  public:
    explicit ReadStruct(Source* source) {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, source, onError, onWarning);
        if (m_png != nullptr) m_info = png_create_info_struct(m_png);
    }
    ~ReadStruct() { png_destroy_read_struct(&m_png, m_info != nullptr ? &m_info : nullptr, nullptr); }
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;

    bool ready() const { return m_png != nullptr && m_info != nullptr; }
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

  private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int colorType;
    int bitDepth;
};

// Each stage returns false when libpng reported an error (its text in source->error).
bool readHeader(png_structp png, png_infop info, Source* source, Header* header) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_read_fn(png, source, readBytes);
    // libpng refuses larger pictures itself too, but the size is checked by the caller before decoding.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_chunk_malloc_max(png, 8 << 20);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->colorType = png_get_color_type(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    return true;
}

struct Table {
    png_colorp colors;
    int count;
    png_bytep alpha;
    int alphaCount;
};

// Indexed pictures come out as one index per pixel; all others as 8-bit RGBA.
bool readPixels(png_structp png, png_infop info, const Header* header, png_bytep* rows, std::size_t rowBytes,
                Table* table) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    if (header->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(png);
        if (png_get_PLTE(png, info, &table->colors, &table->count) == 0)
            png_error(png, "missing colour table");
        png_color_16p unused = nullptr;
        if (png_get_tRNS(png, info, &table->alpha, &table->alphaCount, &unused) == 0) table->alphaCount = 0;
    } else {
        png_set_strip_16(png);
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected row size");
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

platform::Failure corrupt(const std::string& name, const char* why) {
    return platform::Failure(platform::FailureKind::Other,
                             "picture " + name + " is not a readable PNG: " + why);
}

}  // namespace

Picture decodePng(std::span<const std::uint8_t> content, const std::string& name) {
    Source source{content.data(), content.size(), 0, {}};
    ReadStruct rs(&source);
    if (!rs.ready())
        throw platform::Failure(platform::FailureKind::OutOfResources, "システム リソースが足りません");
    Header header{};
    if (!readHeader(rs.png(), rs.info(), &source, &header)) throw corrupt(name, source.error);
    if (header.width > kMaxPictureSide || header.height > kMaxPictureSide) {
        throw platform::Failure(platform::FailureKind::Other,
                                "picture " + name + " is " + std::to_string(header.width) + " x " +
                                    std::to_string(header.height) +
                                    " pixels; at most 256 x 256 fit the sprites");
    }

    Picture picture;
    picture.width = int(header.width);
    picture.height = int(header.height);
    picture.indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    const std::size_t rowBytes = std::size_t(picture.width) * (picture.indexed ? 1 : 4);
    std::vector<std::uint8_t>& pixels = picture.indexed ? picture.indices : picture.rgba;
    pixels.resize(rowBytes * picture.height);
    std::vector<png_bytep> rows(picture.height);
    for (int y = 0; y < picture.height; ++y) rows[y] = pixels.data() + y * rowBytes;
    Table table{nullptr, 0, nullptr, 0};
    if (!readPixels(rs.png(), rs.info(), &header, rows.data(), rowBytes, &table))
        throw corrupt(name, source.error);

    if (picture.indexed) {
        for (int k = 0; k < table.count; ++k)
            picture.table.push_back(
                data::Rgb{table.colors[k].red, table.colors[k].green, table.colors[k].blue});
        expandIndices(picture, name,
                      std::span<const std::uint8_t>(table.alpha, std::size_t(table.alphaCount)));
    }
    return picture;
}

}  // namespace nrbx::importing
