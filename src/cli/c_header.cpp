#include "cli/c_header.h"

#include <algorithm>
#include <set>

namespace nrbx::cli {

namespace {

std::string identifier(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : '_';
    }
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) name = "PICTURE_" + name;
    // Names starting with an underscore and a capital belong to the C implementation.
    if (name[0] == '_') name = "PICTURE" + name;
    return name;
}

std::string_view baseName(std::string_view path) {
    if (const std::size_t slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    if (const std::size_t dot = path.rfind('.'); dot != std::string_view::npos && dot > 0)
        path = path.substr(0, dot);
    return path;
}

// A file name inside a C comment: nothing that could end it or run past the line.
std::string commentSafe(std::string_view text) {
    std::string safe;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool endsComment = c == '*' && i + 1 < text.size() && text[i + 1] == '/';
        safe += c < 0x20 || c >= 0x7F || endsComment ? '?' : char(c);
    }
    return safe;
}

}  // namespace

std::vector<std::string> headerNames(std::span<const std::string> files) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const std::string& file : files) {
        const std::string base = identifier(baseName(file));
        std::string name = base;
        for (int n = 2; taken.count(name) != 0; ++n) name = base + "_" + std::to_string(n);
        taken.insert(name);
        names.push_back(name);
    }
    return names;
}

std::string cHeader(std::string_view headerFile, std::string_view version,
                    std::span<const HeaderPicture> pictures) {
    const std::string guard = "NRBX_" + identifier(baseName(headerFile)) + "_H";
    std::string text = "/* Made by nrbx-import " + std::string(version) +
                       ": where each picture's cells are in the pattern file. */\n#ifndef " + guard +
                       "\n#define " + guard + "\n";
    std::vector<std::string> files;
    for (const HeaderPicture& p : pictures) files.push_back(p.file);
    const std::vector<std::string> names = headerNames(files);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const HeaderPicture& p = pictures[i];
        const std::string& name = names[i];
        const auto first = std::find_if(p.sprites.begin(), p.sprites.end(), [](int s) { return s >= 0; });
        text += "\n/* " + commentSafe(p.file) + " */\n";
        text += "#define " + name + "_FIRST_SPRITE " +
                std::to_string(first == p.sprites.end() ? -1 : *first) + "\n";
        text += "#define " + name + "_WIDTH " + std::to_string(p.columns) + "\n";
        text += "#define " + name + "_HEIGHT " + std::to_string(p.rows) + "\n";
        text += "static const short " + name + "_SPRITES[" + std::to_string(p.sprites.size()) + "] = {";
        for (std::size_t c = 0; c < p.sprites.size(); ++c)
            text += (c ? ", " : "") + std::to_string(p.sprites[c]);
        text += "};\n";
    }
    return text + "\n#endif\n";
}

}  // namespace nrbx::cli
