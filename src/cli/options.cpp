#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <string_view>
#include <system_error>

#include "data/version.h"
#include "data/version_text.h"

namespace nrbx::cli {

namespace {

constexpr int kLastCell = data::kCellsPerSide - 1;

// Plain decimal digits only: no sign, no spaces, no leading "+", nothing after the number.
std::optional<int> parseNumber(std::string_view text, int lo, int hi) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> parseCell(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = parseNumber(text.substr(0, comma), 0, kLastCell);
    const auto y = parseNumber(text.substr(comma + 1), 0, kLastCell);
    if (!x || !y) return std::nullopt;
    return std::pair{*x, *y};
}

// "X0,Y0:X1,Y1"
std::optional<CellRange> parseRange(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto a = parseCell(text.substr(0, colon));
    const auto b = parseCell(text.substr(colon + 1));
    if (!a || !b) return std::nullopt;
    return CellRange{a->first, a->second, b->first, b->second};
}

// "X0,Y0:X1,Y1=N"
std::optional<CellsBlock> parseCellsBlock(std::string_view text) {
    const auto equals = text.rfind('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const auto range = parseRange(text.substr(0, equals));
    const auto block = parseNumber(text.substr(equals + 1), 0, 15);
    if (!range || !block) return std::nullopt;
    return CellsBlock{*range, *block};
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

struct OptionInfo {
    std::string_view longName;
    char shortName;  // '\0': none
    bool takesValue;
    // Stores the value; returns the usage error, empty when the value is good.
    std::function<std::string(Options&, std::string_view)> apply;
};

std::string badValue(std::string_view option, std::string_view value, std::string_view expected) {
    return "invalid value '" + std::string(value) + "' for " + std::string(option) + " (expected " +
           std::string(expected) + ")";
}

const std::vector<OptionInfo>& optionTable() {
    static const std::vector<OptionInfo> specs = {
        {"palette", 'p', true,
         [](Options& o, std::string_view v) {
             if (v.empty()) return std::string("--palette needs a file name");
             o.palette = std::string(v);
             return std::string();
         }},
        {"block", 'b', true,
         [](Options& o, std::string_view v) {
             const auto n = parseNumber(v, 0, 15);
             if (!n) return badValue("--block", v, "0..15");
             o.block = *n;
             return std::string();
         }},
        {"cells", '\0', true,
         [](Options& o, std::string_view v) {
             const auto c = parseCellsBlock(v);
             if (!c) return badValue("--cells", v, "X0,Y0:X1,Y1=N, cells 0..15, block 0..15");
             o.cells.push_back(*c);
             return std::string();
         }},
        {"select", 's', true,
         [](Options& o, std::string_view v) {
             const auto r = parseRange(v);
             if (!r) return badValue("--select", v, "X0,Y0:X1,Y1, cells 0..15");
             o.select = *r;
             return std::string();
         }},
        {"depth", 'd', true,
         [](Options& o, std::string_view v) {
             if (v != "24" && v != "8" && v != "4") return badValue("--depth", v, "24, 8 or 4");
             o.depth = *parseNumber(v, 4, 24);
             return std::string();
         }},
        {"format", 'f', true,
         [](Options& o, std::string_view v) {
             const std::string f = lowered(v);
             if (f != "bmp" && f != "png") return badValue("--format", v, "bmp or png");
             o.format = f == "png" ? Format::Png : Format::Bmp;
             return std::string();
         }},
        {"indexed", '\0', true,
         [](Options& o, std::string_view v) {
             if (v != "nearest" && v != "sprite") return badValue("--indexed", v, "nearest or sprite");
             o.indexing = v == "sprite" ? Indexing::Sprite : Indexing::Nearest;
             return std::string();
         }},
        {"output", 'o', true,
         [](Options& o, std::string_view v) {
             if (v.empty()) return std::string("--output needs a file name");
             o.output = std::string(v);
             return std::string();
         }},
        {"output-dir", 'O', true,
         [](Options& o, std::string_view v) {
             if (v.empty()) return std::string("--output-dir needs a folder name");
             o.outputDir = std::string(v);
             return std::string();
         }},
        {"verbose", 'v', false,
         [](Options& o, std::string_view) {
             o.verbose = true;
             return std::string();
         }},
    };
    return specs;
}

const OptionInfo* findLong(std::string_view name) {
    for (const auto& option : optionTable())
        if (option.longName == name) return &option;
    return nullptr;
}

const OptionInfo* findShort(char name) {
    for (const auto& option : optionTable())
        if (option.shortName == name) return &option;
    return nullptr;
}

CommandLine usageError(std::string message) {
    CommandLine line;
    line.action = Action::UsageError;
    line.error = std::move(message);
    return line;
}

// Rules between options, checked once all are read.
std::string crossCheck(const Options& o) {
    if (o.patterns.empty()) return "no pattern file given";
    if (o.output && o.outputDir) return "--output and --output-dir cannot be used together";
    if (o.output && o.patterns.size() > 1)
        return "--output takes one pattern file; use --output-dir for several";
    if (o.indexing == Indexing::Sprite && o.depth == 24) return "--indexed sprite needs --depth 8 or 4";
    if (o.indexing == Indexing::Sprite && o.depth == 4) {
        // A 16-colour table holds one block; which block each cell gets is known from the options alone.
        const CellBlocks blocks = plannedCellBlocks(o);
        const CellRange r = o.select.value_or(CellRange{0, 0, kLastCell, kLastCell});
        const int block = blocks[r.y0][r.x0];
        for (int cy = std::min(r.y0, r.y1); cy <= std::max(r.y0, r.y1); ++cy)
            for (int cx = std::min(r.x0, r.x1); cx <= std::max(r.x0, r.x1); ++cx)
                if (blocks[cy][cx] != block) {
                    return "--indexed sprite --depth 4 needs every written cell in one palette block, but "
                           "cell " +
                           std::to_string(cx) + "," + std::to_string(cy) + " has block " +
                           std::to_string(blocks[cy][cx]) + " and cell " + std::to_string(r.x0) + "," +
                           std::to_string(r.y0) + " block " + std::to_string(block) + " (use --depth 8)";
                }
    }
    return {};
}

}  // namespace

const char* toString(Format format) {
    switch (format) {
        case Format::Bmp:
            return "bmp";
        case Format::Png:
            return "png";
    }
    return "?";
}

const char* toString(Indexing indexing) {
    switch (indexing) {
        case Indexing::Nearest:
            return "nearest";
        case Indexing::Sprite:
            return "sprite";
    }
    return "?";
}

CellBlocks plannedCellBlocks(const Options& options) {
    CellBlocks blocks;
    for (auto& row : blocks) row.fill(options.block);
    for (const auto& c : options.cells) {
        for (int cy = std::min(c.cells.y0, c.cells.y1); cy <= std::max(c.cells.y0, c.cells.y1); ++cy)
            for (int cx = std::min(c.cells.x0, c.cells.x1); cx <= std::max(c.cells.x0, c.cells.x1); ++cx)
                blocks[cy][cx] = c.block;
    }
    return blocks;
}

CommandLine parseCommandLine(std::span<const std::string> args) {
    CommandLine line;
    Options& o = line.options;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            o.patterns.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionInfo* option = nullptr;
        std::optional<std::string_view> value;
        std::string shown;  // the option as the user wrote it, for messages
        if (arg.starts_with("--")) {
            std::string_view name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string_view::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            shown = "--" + std::string(name);
            if (name == "help" || name == "version") {
                if (value) return usageError(shown + " takes no value");
                (name == "help" ? help : version) = true;
                continue;
            }
            option = findLong(name);
        } else {
            // Short options do not group ("-vh" is not "-v -h"), so an unknown one is shown whole.
            shown = findShort(arg[1]) != nullptr ? std::string(arg.substr(0, 2)) : std::string(arg);
            if (arg[1] == 'h' && arg.size() == 2) {
                help = true;
                continue;
            }
            option = findShort(arg[1]);
            if (option != nullptr && arg.size() > 2) {
                if (!option->takesValue) return usageError("unknown option '" + std::string(arg) + "'");
                value = arg.substr(2);
            }
        }
        if (option == nullptr) return usageError("unknown option '" + shown + "'");
        if (!option->takesValue && value) return usageError(shown + " takes no value");
        if (option->takesValue && !value) {
            if (i + 1 >= args.size()) return usageError(shown + " needs a value");
            value = args[++i];
        }
        if (std::string error = option->apply(o, value.value_or("")); !error.empty()) {
            return usageError(std::move(error));
        }
    }
    if (help) {
        line.action = Action::Help;
        return line;
    }
    if (version) {
        line.action = Action::Version;
        return line;
    }
    if (std::string error = crossCheck(o); !error.empty()) return usageError(std::move(error));
    return line;
}

std::string helpText() {
    return R"(Usage: nrbx-export PATTERN... [options]
Converts sprite-pattern files to BMP or PNG pictures, exactly as the nrbx window saves them.

  -p, --palette FILE          palette file (default: the built-in palette)
  -b, --block N               palette block 0..15 for every cell (default 0)
      --cells X0,Y0:X1,Y1=N   render those cells again with block N (repeatable, applied in order)
  -s, --select X0,Y0:X1,Y1    write only those cells (corners in any order)
  -d, --depth 24|8|4          colour depth (default 24)
      --indexed nearest|sprite
                              8 and 4 bits: nearest colours of a fixed table (default), or the
                              sprite palette itself as table with every colour index kept
                              (4 bits: all written cells in one block)
  -f, --format bmp|png        file format (default: from the output name, else bmp)
  -o, --output FILE           output file (one PATTERN only)
  -O, --output-dir DIR        existing folder for the outputs, named as PATTERN with .bmp or .png
  -v, --verbose               one line per file on stderr
  -h, --help                  show this help
      --version               show the version

Without -o or -O each picture is written beside its PATTERN. Cells are numbered 0..15 from the
top left. Exit status: 0 when every file was written, 1 when some input failed, 2 for a usage error.
)";
}

std::string versionText() {
    return "nrbx-export " + data::versionNumber(data::kVersionValue) + "\n";
}

}  // namespace nrbx::cli
