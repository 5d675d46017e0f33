#include "import/picture.h"

#include <algorithm>

#include "platform/failure.h"

namespace nrbx::importing {

namespace {

bool startsWith(std::span<const std::uint8_t> content, std::string_view prefix) {
    return content.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), content.begin(),
                      [](char a, std::uint8_t b) { return static_cast<unsigned char>(a) == b; });
}

}  // namespace

void expandIndices(Picture& picture, const std::string& name, std::span<const std::uint8_t> alpha) {
    const std::size_t count = std::size_t(picture.width) * picture.height;
    picture.rgba.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t v = picture.indices[i];
        if (v >= picture.table.size()) {
            throw platform::Failure(
                platform::FailureKind::Other,
                "picture " + name + " is corrupt: pixel " + std::to_string(i % picture.width) + "," +
                    std::to_string(i / picture.width) + " has colour index " + std::to_string(v) + " of a " +
                    std::to_string(picture.table.size()) + "-entry colour table");
        }
        const data::Rgb c = picture.table[v];
        std::uint8_t* out = picture.rgba.data() + i * 4;
        out[0] = c.red;
        out[1] = c.green;
        out[2] = c.blue;
        out[3] = v < alpha.size() ? alpha[v] : 255;
    }
}

Picture decodePicture(std::span<const std::uint8_t> content, const std::string& name) {
    if (startsWith(content, "\x89PNG")) return decodePng(content, name);
    if (startsWith(content, "BM")) return decodeBmp(content, name);
    throw platform::Failure(platform::FailureKind::Other, "picture " + name + " is neither PNG nor BMP");
}

platform::Failure pictureTooLarge(const std::string& name) {
    return platform::Failure(
        platform::FailureKind::Other,
        "picture " + name + " is larger than 16 MiB, far more than 256 x 256 pixels need");
}

}  // namespace nrbx::importing
