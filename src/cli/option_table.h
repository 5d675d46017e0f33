#pragma once
// The option table of a command-line tool: one entry per option drives both the parsing (glibc's
// getopt_long) and the help text, so the two cannot drift apart.
//
// Parsing follows getopt_long: a long option may be shortened to any unique prefix, or to a prefix of
// one name that every other match only extends ("--pal" for "--palette" beside "--palette-out"),
// short options bundle ("-vd4" is "-v -d 4"), a value follows its option as the next
// argument, as "--name=value" or as "-xvalue", and "--" ends the options. Options and operands may
// come in any order (whatever POSIXLY_CORRECT says); operands keep their order, and "-" is an operand.
// -h/--help and --version are added to every table.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/cell_grid.h"

namespace nrbx::cli {

using ApplyValue = std::function<std::string(std::string_view value)>;

struct OptionSpec {
    std::string_view longName;   // without "--"; required
    char shortName = '\0';       // '\0': the long form only
    std::string_view valueName;  // empty: a flag; else how the help text names its value ("FILE", "N")
    std::string_view help;       // plain text, wrapped to the help text's column by formatHelp
    // Takes the value (empty for a flag); returns a one-line usage error, or an empty string when the
    // value is good. Called in command-line order, so a later option can override an earlier one.
    ApplyValue apply;
};

struct ParsedArguments {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::vector<std::string> operands;  // the arguments that are not options, in order
    std::string error;                  // Action::UsageError: one line, without the tool's name
};

// Reads args (without the program name). A usage error stops at the first bad argument; otherwise
// --help, then --version, win over everything else (the tool then skips its checks between options).
// Messages: "unknown option '--x'", "ambiguous option '--s' (--select, --scale, --split)",
// "-p needs a value", "--palette needs a value", "--verbose takes no value", or the apply's own.
ParsedArguments parseOptions(std::span<const std::string> args, std::span<const OptionSpec> table);

// A tool's command line (a struct with action, options and error, whose Action has Help, Version and
// UsageError) read with the table that table(line.options) gives: a usage error, --help or --version
// as parseOptions finds them, else finish(options, operands) takes the operands and checks the rules
// between options, returning a usage error or "".
template <typename Line, typename Table, typename Finish>
Line readCommandLine(std::span<const std::string> args, Table table, Finish finish) {
    Line line;
    using Action = decltype(line.action);
    ParsedArguments parsed = parseOptions(args, table(line.options));
    std::string error = std::move(parsed.error);
    switch (parsed.action) {
        case ParsedArguments::Action::Help:
            line.action = Action::Help;
            return line;
        case ParsedArguments::Action::Version:
            line.action = Action::Version;
            return line;
        case ParsedArguments::Action::Run:
            error = finish(line.options, std::move(parsed.operands));
            break;
        case ParsedArguments::Action::UsageError:
            break;
    }
    if (!error.empty()) {
        line.action = Action::UsageError;
        line.error = std::move(error);
    }
    return line;
}

// The standard quiet flag: -q, --quiet.
OptionSpec quietOption(bool& quiet);

// Building blocks for a table's apply functions.
// Plain decimal digits only (no sign, no spaces, nothing after the number), within lo..hi.
std::optional<int> parseNumber(std::string_view text, int lo, int hi);
// "invalid value 'V' for OPTION (expected EXPECTED)"
std::string badValue(std::string_view option, std::string_view value, std::string_view expected);
// Sets target when the flag is given.
ApplyValue flag(bool& target);
// Stores a file name; an empty one is the usage error message.
ApplyValue fileName(std::optional<std::string>& target, std::string message);

// Values of the usual kinds; a bad one is badValue(option, value, what is expected). The option name
// and the words are string literals (they are kept, not copied).
// A number within lo..hi ("lo..hi").
ApplyValue number(int& target, std::string_view option, int lo, int hi);
// The same for an option whose absence means something of its own.
ApplyValue number(std::optional<int>& target, std::string_view option, int lo, int hi);
// "X,Y", cells 0..15 ("X,Y, cells 0..15").
std::optional<std::pair<int, int>> parseCell(std::string_view text);
ApplyValue cell(int& x, int& y, std::string_view option);
// "X0,Y0:X1,Y1", two corner cells in any order, stored ordered ("X0,Y0:X1,Y1, cells 0..15").
std::optional<data::CellRect> parseCellRect(std::string_view text);
ApplyValue cellRect(std::optional<data::CellRect>& target, std::string_view option);

// One of a few words, each standing for a value ("a, b or c"); Case::Any lets "PNG" stand for "png".
enum class Case { Exact, Any };
template <typename Value>
struct Word {
    std::string_view word;
    Value value;
};
// The index of value among words, or nothing.
std::optional<std::size_t> wordIndex(std::string_view value, std::span<const std::string_view> words,
                                     Case letters);
// "a", "a or b", "a, b or c".
std::string wordList(std::span<const std::string_view> words);
// choice<int>(o.depth, "--depth", {{"24", 24}, {"8", 8}, {"4", 4}})
template <typename Value, typename Target>
ApplyValue choice(Target& target, std::string_view option, std::vector<Word<Value>> words,
                  Case letters = Case::Exact) {
    std::vector<std::string_view> names;
    for (const auto& w : words) names.push_back(w.word);
    return
        [&target, option, words = std::move(words), names = std::move(names), letters](std::string_view v) {
            const auto i = wordIndex(v, names, letters);
            if (!i) return badValue(option, v, wordList(names));
            target = words[*i].value;
            return std::string();
        };
}

struct HelpLayout {
    std::string_view usage;     // "Usage: TOOL ..." line(s), as written
    std::string_view summary;   // what the tool does; wrapped
    std::string_view epilogue;  // after the options (exit statuses and the like); wrapped
};

// Usage, summary, one entry per option ("  -p, --palette FILE   help...") and the epilogue, every line
// within 80 columns. Paragraphs in summary and epilogue are separated by "\n\n".
std::string formatHelp(const HelpLayout& layout, std::span<const OptionSpec> table);

}  // namespace nrbx::cli
