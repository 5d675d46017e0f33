#include "cli/option_table.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <tuple>

namespace nrbx::cli {

namespace {

constexpr int kHelpCode = 'h';
constexpr int kVersionCode = 0x7FFF;
constexpr int kLongCodeBase = 0x100;  // a long option's code: this plus its table index

constexpr std::size_t kHelpColumns = 80;
constexpr std::size_t kHelpIndent = 30;

// The user's option as written before any "=value".
std::string longNameOf(std::string_view arg) {
    const auto eq = arg.find('=');
    return std::string(arg.substr(0, eq));
}

std::string unknownOrAmbiguous(std::string_view arg, const std::vector<std::string>& names) {
    const std::string shown = longNameOf(arg);
    const std::string_view prefix = std::string_view(shown).substr(2);
    std::string candidates;
    int count = 0;
    for (const auto& name : names) {
        if (name.starts_with(prefix)) {
            candidates += (count++ == 0 ? "--" : ", --") + name;
        }
    }
    if (count > 1) return "ambiguous option '" + shown + "' (" + candidates + ")";
    return "unknown option '" + shown + "'";
}

// Pairs (prefix, name): each prefix that is no option's name, that starts the name and that starts no
// option the name is not a prefix of.
std::vector<std::string> extendedNamePrefixes(const std::vector<std::string>& names) {
    std::vector<std::string> pairs;
    for (const auto& name : names) {
        for (std::size_t length = 1; length < name.size(); ++length) {
            const std::string prefix = name.substr(0, length);
            int matches = 0;
            bool allExtendName = true;
            for (const auto& other : names) {
                if (!other.starts_with(prefix)) continue;
                ++matches;
                if (other == prefix || !other.starts_with(name)) allExtendName = false;
            }
            // A single match is getopt_long's own unique prefix.
            if (matches > 1 && allExtendName) {
                pairs.push_back(prefix);
                pairs.push_back(name);
            }
        }
    }
    return pairs;
}

void appendWrapped(std::string& out, std::string_view text, std::size_t indent, std::size_t firstColumn) {
    std::size_t column = firstColumn;
    bool lineEmpty = true;
    while (!text.empty()) {
        const auto space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty()) continue;
        if (!lineEmpty && column + 1 + word.size() > kHelpColumns) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    out += '\n';
}

void appendParagraphs(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find("\n\n");
        std::string paragraph(text.substr(0, end));
        std::replace(paragraph.begin(), paragraph.end(), '\n', ' ');
        appendWrapped(out, paragraph, 0, 0);
        if (end == std::string_view::npos) break;
        out += '\n';
        text = text.substr(end + 2);
    }
}

void appendOption(std::string& out, const OptionSpec& o) {
    std::string left = "  ";
    left += o.shortName != '\0' ? std::string{'-', o.shortName, ',', ' '} : std::string("    ");
    left += "--";
    left += o.longName;
    if (!o.valueName.empty()) {
        left += ' ';
        left += o.valueName;
    }
    out += left;
    if (left.size() + 2 > kHelpIndent) {
        out += '\n';
        out.append(kHelpIndent, ' ');
    } else {
        out.append(kHelpIndent - left.size(), ' ');
    }
    appendWrapped(out, o.help, kHelpIndent, kHelpIndent);
}

}  // namespace

ParsedArguments parseOptions(std::span<const std::string> args, std::span<const OptionSpec> table) {
    ParsedArguments result;
    auto fail = [&result](std::string message) {
        result.action = ParsedArguments::Action::UsageError;
        result.error = std::move(message);
        result.operands.clear();
        return result;
    };

    // "-": operands come back in order as code 1, whatever POSIXLY_CORRECT says; ":": a missing value
    // is told apart from an unknown option, and getopt prints nothing itself.
    std::string shortOptions = "-:h";
    std::vector<option> longOptions;
    std::vector<std::string> longNames;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const OptionSpec& o = table[i];
        longNames.emplace_back(o.longName);
        if (o.shortName != '\0') {
            shortOptions += o.shortName;
            if (!o.valueName.empty()) shortOptions += ':';
        }
    }
    longNames.emplace_back("help");
    longNames.emplace_back("version");
    for (std::size_t i = 0; i < table.size(); ++i) {
        longOptions.push_back(option{longNames[i].c_str(),
                                     table[i].valueName.empty() ? no_argument : required_argument, nullptr,
                                     kLongCodeBase + static_cast<int>(i)});
    }
    longOptions.push_back(option{"help", no_argument, nullptr, kHelpCode});
    longOptions.push_back(option{"version", no_argument, nullptr, kVersionCode});
    // "--pal" means "--palette" although "--palette-out" also starts with it: a prefix of one name that
    // every other match merely extends. getopt_long prefers an exact match, so such prefixes are listed.
    const std::vector<std::string> aliases = extendedNamePrefixes(longNames);
    for (std::size_t i = 0; i < aliases.size(); i += 2) {
        const auto target = std::find(longNames.begin(), longNames.end(), aliases[i + 1]);
        const option of = longOptions[static_cast<std::size_t>(target - longNames.begin())];
        longOptions.push_back(option{aliases[i].c_str(), of.has_arg, nullptr, of.val});
    }
    longOptions.push_back(option{nullptr, 0, nullptr, 0});

    std::vector<std::string> storage(args.begin(), args.end());
    std::vector<char*> argv;
    static char programName[] = "nrbx";
    argv.push_back(programName);
    for (auto& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size() - 1);

    auto findShort = [&table](int c) -> const OptionSpec* {
        for (const auto& o : table)
            if (o.shortName != '\0' && o.shortName == c) return &o;
        return nullptr;
    };
    auto nameOfCode = [&](int code, bool isLong) -> std::string {
        if (code == kHelpCode) return isLong ? "--help" : "-h";
        if (code == kVersionCode) return "--version";
        if (code >= kLongCodeBase) return "--" + longNames[static_cast<std::size_t>(code - kLongCodeBase)];
        return std::string{'-', static_cast<char>(code)};
    };

    bool help = false;
    bool version = false;
    optind = 0;  // glibc: start afresh, as this may run more than once in a process
    opterr = 0;
    while (true) {
        const int c = ::getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (c == -1) break;
        if (c == 1) {
            result.operands.emplace_back(optarg);
            continue;
        }
        // The argument getopt just finished with; for an unknown short option inside a bundle it is
        // still the current one.
        const std::string_view current = optind - 1 >= 1 && optind - 1 < argc ? argv[optind - 1] : "";
        if (c == '?') {
            if (optopt == 0) return fail(unknownOrAmbiguous(current, longNames));
            if (optopt >= kLongCodeBase || optopt == kVersionCode ||
                (optopt == kHelpCode && current.starts_with("--")))
                return fail(nameOfCode(optopt, true) + " takes no value");
            return fail("unknown option '" + std::string{'-', static_cast<char>(optopt)} + "'");
        }
        if (c == ':') return fail(nameOfCode(optopt, current.starts_with("--")) + " needs a value");
        if (c == kHelpCode) {
            help = true;
            continue;
        }
        if (c == kVersionCode) {
            version = true;
            continue;
        }
        const OptionSpec* chosen =
            c >= kLongCodeBase ? &table[static_cast<std::size_t>(c - kLongCodeBase)] : findShort(c);
        if (chosen == nullptr) return fail("unknown option '" + std::string{'-', static_cast<char>(c)} + "'");
        if (std::string error = chosen->apply(optarg != nullptr ? optarg : ""); !error.empty())
            return fail(std::move(error));
    }
    for (int i = optind; i < argc; ++i) result.operands.emplace_back(argv[i]);  // after "--"
    if (help) {
        result.action = ParsedArguments::Action::Help;
    } else if (version) {
        result.action = ParsedArguments::Action::Version;
    }
    return result;
}

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

std::string badValue(std::string_view option, std::string_view value, std::string_view expected) {
    return "invalid value '" + std::string(value) + "' for " + std::string(option) + " (expected " +
           std::string(expected) + ")";
}

ApplyValue flag(bool& target) {
    return [&target](std::string_view) {
        target = true;
        return std::string();
    };
}

ApplyValue fileName(std::optional<std::string>& target, std::string message) {
    return [&target, message](std::string_view v) {
        if (v.empty()) return message;
        target = std::string(v);
        return std::string();
    };
}

ApplyValue number(int& target, std::string_view option, int lo, int hi) {
    return [&target, option, lo, hi](std::string_view v) {
        const auto n = parseNumber(v, lo, hi);
        if (!n) return badValue(option, v, std::to_string(lo) + ".." + std::to_string(hi));
        target = *n;
        return std::string();
    };
}

ApplyValue number(std::optional<int>& target, std::string_view option, int lo, int hi) {
    return [&target, option, lo, hi](std::string_view v) {
        int n = 0;
        std::string error = number(n, option, lo, hi)(v);
        if (error.empty()) target = n;
        return error;
    };
}

std::optional<std::pair<int, int>> parseCell(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = parseNumber(text.substr(0, comma), 0, data::kLastCell);
    const auto y = parseNumber(text.substr(comma + 1), 0, data::kLastCell);
    if (!x || !y) return std::nullopt;
    return std::pair{*x, *y};
}

ApplyValue cell(int& x, int& y, std::string_view option) {
    return [&x, &y, option](std::string_view v) {
        const auto c = parseCell(v);
        if (!c) return badValue(option, v, "X,Y, cells 0..15");
        std::tie(x, y) = *c;
        return std::string();
    };
}

std::optional<data::CellRect> parseCellRect(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto a = parseCell(text.substr(0, colon));
    const auto b = parseCell(text.substr(colon + 1));
    if (!a || !b) return std::nullopt;
    return data::CellRect{std::min(a->first, b->first), std::min(a->second, b->second),
                          std::max(a->first, b->first), std::max(a->second, b->second)};
}

ApplyValue cellRect(std::optional<data::CellRect>& target, std::string_view option) {
    return [&target, option](std::string_view v) {
        const auto r = parseCellRect(v);
        if (!r) return badValue(option, v, "X0,Y0:X1,Y1, cells 0..15");
        target = *r;
        return std::string();
    };
}

std::optional<std::size_t> wordIndex(std::string_view value, std::span<const std::string_view> words,
                                     Case letters) {
    const auto same = [letters](char a, char b) {
        if (letters == Case::Exact) return a == b;
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    for (std::size_t i = 0; i < words.size(); ++i)
        if (std::equal(value.begin(), value.end(), words[i].begin(), words[i].end(), same)) return i;
    return std::nullopt;
}

std::string wordList(std::span<const std::string_view> words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

OptionSpec quietOption(bool& quiet) {
    return OptionSpec{
        "quiet", 'q', {}, "no warnings and no progress line on stderr", [&quiet](std::string_view) {
            quiet = true;
            return std::string();
        }};
}

std::string formatHelp(const HelpLayout& layout, std::span<const OptionSpec> table) {
    std::string out(layout.usage);
    if (!out.ends_with('\n')) out += '\n';
    appendParagraphs(out, layout.summary);
    out += '\n';
    for (const auto& o : table) appendOption(out, o);
    appendOption(out, OptionSpec{"help", 'h', {}, "show this help and exit", {}});
    appendOption(out, OptionSpec{"version", '\0', {}, "show the version and exit", {}});
    if (!layout.epilogue.empty()) {
        out += '\n';
        appendParagraphs(out, layout.epilogue);
    }
    return out;
}

}  // namespace nrbx::cli
