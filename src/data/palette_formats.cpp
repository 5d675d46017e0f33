#include "data/palette_formats.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/failure.h"
#include "platform/file.h"

namespace nrbx::data {

namespace {

platform::Failure malformed(std::string_view name, int line, const std::string& why) {
    std::string message = "palette " + std::string(name);
    if (line > 0) message += ", line " + std::to_string(line);
    return platform::Failure(platform::FailureKind::Other, message + ": " + why);
}

bool startsWith(std::span<const std::uint8_t> content, std::string_view prefix) {
    return content.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), content.begin());
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> linesOf(std::span<const std::uint8_t> content) {
    const std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// "R G B" with anything after the third number (GIMP's colour name); false when it is not three
// numbers 0..255.
bool parseColor(std::string_view line, Rgb& color) {
    int values[3];
    for (int& v : values) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), v);
        if (error != std::errc() || v < 0 || v > 255) return false;
        line.remove_prefix(static_cast<std::size_t>(end - line.data()));
        if (!line.empty() && line.front() != ' ' && line.front() != '\t' && line.front() != '\r')
            return false;
    }
    color = Rgb{std::uint8_t(values[0]), std::uint8_t(values[1]), std::uint8_t(values[2])};
    return true;
}

void putColor(PaletteFile& palette, int entry, Rgb color) {
    palette.setWord(entry, wordFromColor(color));
}

PaletteFile parseGimp(const std::vector<std::string_view>& lines, std::string_view name) {
    PaletteFile palette;
    palette.format = PaletteFormat::Gimp;
    int count = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = trimmed(lines[i]);
        if (line.empty() || line.front() == '#' || line.starts_with("Name:") || line.starts_with("Columns:"))
            continue;
        Rgb color;
        if (!parseColor(line, color)) throw malformed(name, int(i + 1), "not a colour \"R G B\" of 0..255");
        if (count == kPaletteEntries) throw malformed(name, int(i + 1), "more than 256 colours");
        putColor(palette, count++, color);
    }
    if (count == 0) throw malformed(name, 0, "no colours");
    return palette;
}

PaletteFile parseJasc(const std::vector<std::string_view>& lines, std::string_view name) {
    PaletteFile palette;
    palette.format = PaletteFormat::Jasc;
    if (lines.size() < 3 || trimmed(lines[1]) != "0100")
        throw malformed(name, 2, "not JASC-PAL version 0100");
    const std::string_view countText = trimmed(lines[2]);
    int count = 0;
    const auto [end, error] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
    if (error != std::errc() || end != countText.data() + countText.size() || count < 1 ||
        count > kPaletteEntries) {
        throw malformed(name, 3, "colour count is not 1..256");
    }
    for (int k = 0; k < count; ++k) {
        const std::size_t i = 3 + std::size_t(k);
        if (i >= lines.size())
            throw malformed(name, 0,
                            "truncated: " + std::to_string(k) + " of " + std::to_string(count) + " colours");
        Rgb color;
        if (!parseColor(trimmed(lines[i]), color))
            throw malformed(name, int(i + 1), "not a colour \"R G B\" of 0..255");
        putColor(palette, k, color);
    }
    return palette;
}

int component(int fiveBits) {
    return fiveBits * 8;
}

}  // namespace

const char* toString(PaletteFormat format) {
    switch (format) {
        case PaletteFormat::Binary:
            return "bin";
        case PaletteFormat::Gimp:
            return "gpl";
        case PaletteFormat::Jasc:
            return "jasc";
    }
    return "bin";
}

std::uint16_t wordFromColor(Rgb c) {
    return static_cast<std::uint16_t>((c.green >> 3) << 11 | (c.red >> 3) << 6 | (c.blue >> 3) << 1);
}

PaletteFile parsePalette(std::span<const std::uint8_t> content, std::string_view name) {
    if (startsWith(content, "GIMP Palette")) return parseGimp(linesOf(content), name);
    if (startsWith(content, "JASC-PAL")) return parseJasc(linesOf(content), name);
    PaletteFile palette;
    std::copy_n(content.begin(), std::min(content.size(), kPaletteBytes), palette.bytes.begin());
    return palette;
}

platform::Failure paletteTooLarge(std::string_view name) {
    return malformed(name, 0, "larger than 1 MiB");
}

PaletteFile readPaletteFile(const std::string& path) {
    platform::InputFile file(path);
    const std::uint64_t size = file.size();
    std::vector<std::uint8_t> content(std::min<std::uint64_t>(size, kMaxTextPaletteBytes));
    file.readExact(content.data(), content.size());
    PaletteFile palette = parsePalette(content, path);
    if (palette.format != PaletteFormat::Binary && size > kMaxTextPaletteBytes) throw paletteTooLarge(path);
    return palette;
}

std::string formatPalette(const PaletteFile& palette, PaletteFormat format) {
    if (format == PaletteFormat::Binary) return std::string(palette.bytes.begin(), palette.bytes.end());
    // No Name or Columns lines: some readers count every line after the header as an entry.
    std::string text = format == PaletteFormat::Gimp ? "GIMP Palette\n" : "JASC-PAL\r\n0100\r\n256\r\n";
    const char* end = format == PaletteFormat::Gimp ? "\n" : "\r\n";
    for (int k = 0; k < kPaletteEntries; ++k) {
        const std::uint16_t w = palette.word(k);
        std::string line = std::to_string(component(w >> 6 & 31)) + ' ' +
                           std::to_string(component(w >> 11 & 31)) + ' ' +
                           std::to_string(component(w >> 1 & 31));
        // GIMP shows the name beside each swatch: block and colour index, as the window counts them.
        if (format == PaletteFormat::Gimp)
            line += "\tblock " + std::to_string(k / 16) + " colour " + std::to_string(k % 16);
        text += line + end;
    }
    return text;
}

}  // namespace nrbx::data
