#include "cli/manifest.h"

#include <cmath>
#include <cstdio>

#include "data/palette.h"

namespace nrbx::cli {

namespace {

// The length of the UTF-8 sequence at the start of text, or 0 when it is not one.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07;
    else
        return 0;
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

template <typename T, typename Write>
std::string list(const std::vector<T>& values, Write write) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + write(values[i]);
    return text + "]";
}

std::string number(int n) {
    return n < 0 ? "null" : std::to_string(n);
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text[0]);
        const std::size_t length = utf8Length(text);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (length == 0) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out + "\"";
}

std::string manifestJson(const Manifest& m) {
    std::string json = "{\n  \"tool\": \"nrbx-import\",\n  \"version\": " + jsonString(m.version) + ",\n";
    json += "  \"settings\": {";
    for (std::size_t i = 0; i < m.settings.size(); ++i)
        json += (i ? ", " : "") + jsonString(m.settings[i].first) + ": " + m.settings[i].second;
    json += "},\n  \"pictures\": [\n";
    for (std::size_t i = 0; i < m.pictures.size(); ++i) {
        const ManifestPicture& p = m.pictures[i];
        json +=
            "    {\"file\": " + jsonString(p.file) + ", \"columns\": " + std::to_string(p.columns) +
            ", \"rows\": " + std::to_string(p.rows) + ", \"at\": " +
            (p.at ? "[" + std::to_string(p.at->first) + ", " + std::to_string(p.at->second) + "]" : "null");
        if (p.psnr) {
            char psnr[32];
            std::snprintf(psnr, sizeof psnr, "%.2f", *p.psnr);
            // JSON has no infinity: every colour kept is said in words.
            json += std::string(", \"psnr\": ") + (std::isinf(*p.psnr) ? "\"exact\"" : psnr);
        }
        json += ",\n     \"sprites\": " + list(p.sprites, number) +
                ",\n     \"blocks\": " + list(p.blocks, number) + "}" +
                (i + 1 < m.pictures.size() ? "," : "") + "\n";
    }
    json += "  ],\n  \"blocks\": [\n";
    for (int b = 0; b < data::kPaletteBlocks; ++b) {
        std::vector<int> words;
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            words.push_back(m.palette.word(b * data::kColorsPerBlock + i));
        json += "    " + list(words, number) + (b + 1 < data::kPaletteBlocks ? "," : "") + "\n";
    }
    return json + "  ]\n}\n";
}

}  // namespace nrbx::cli
