// The command-line layer every tool shares: option table, messages, output checks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/io.h"
#include "cli/option_table.h"
#include "cli/tool.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "support/test_support.h"

using namespace nrbx::cli;
namespace fs = std::filesystem;

namespace {

struct Seen {
    std::string output, outputDir, block;
    bool verbose = false, force = false, outline = false;
};

std::vector<OptionSpec> table(Seen& s) {
    auto store = [](std::string& target) {
        return [&target](std::string_view v) {
            target = std::string(v);
            return std::string();
        };
    };
    auto set = [](bool& target) {
        return [&target](std::string_view) {
            target = true;
            return std::string();
        };
    };
    return {
        {"output", 'o', "FILE", "where to write", store(s.output)},
        {"output-dir", 'O', "DIR", "folder", store(s.outputDir)},
        {"block", 'b', "N", "block", store(s.block)},
        {"verbose", 'v', {}, "talk", set(s.verbose)},
        {"force", '\0', {}, "replace", set(s.force)},
        {"outline", '\0', {}, "edges", set(s.outline)},
    };
}

ParsedArguments parse(Seen& s, std::vector<std::string> args) {
    return parseOptions(args, table(s));
}

}  // namespace

TEST(OptionTable, ReadsArgumentsAsGetoptLongDoes) {
    Seen s;
    // Unique prefixes, an exact name over a longer one, bundles with a value, "=value", operands in order.
    ParsedArguments p =
        parse(s, {"in1", "--verb", "--output", "x", "-vb7", "in2", "--output-d=d", "--fo", "-"});
    ASSERT_EQ(p.action, ParsedArguments::Action::Run) << p.error;
    EXPECT_EQ(p.operands, (std::vector<std::string>{"in1", "in2", "-"}));
    EXPECT_EQ(s.output, "x");
    EXPECT_EQ(s.outputDir, "d");
    EXPECT_EQ(s.block, "7");
    EXPECT_TRUE(s.verbose && s.force);

    // A prefix of one name that every other match only extends means that name.
    Seen w;
    p = parse(w, {"--outp", "y"});
    ASSERT_EQ(p.action, ParsedArguments::Action::Run) << p.error;
    EXPECT_EQ(w.output, "y");

    // "--" ends options; a value may be "-" or start with "-"; empty arguments are operands.
    Seen t;
    p = parse(t, {"-o", "-", "-b", "-3", "", "--", "-v", "--help"});
    ASSERT_EQ(p.action, ParsedArguments::Action::Run) << p.error;
    EXPECT_EQ(t.output, "-");
    EXPECT_EQ(t.block, "-3");
    EXPECT_FALSE(t.verbose);
    EXPECT_EQ(p.operands, (std::vector<std::string>{"", "-v", "--help"}));

    // Options after operands are still options when the environment asks for POSIX order.
    ::setenv("POSIXLY_CORRECT", "1", 1);
    Seen u;
    p = parse(u, {"a", "-v", "b"});
    ::unsetenv("POSIXLY_CORRECT");
    EXPECT_EQ(p.operands, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(u.verbose);
}

TEST(OptionTable, UsageErrorsNameTheOption) {
    Seen s;
    EXPECT_EQ(parse(s, {"--out", "x"}).error, "ambiguous option '--out' (--output, --output-dir, --outline)");
    EXPECT_EQ(parse(s, {"--nothing=3"}).error, "unknown option '--nothing'");
    EXPECT_EQ(parse(s, {"-vz"}).error, "unknown option '-z'");
    EXPECT_EQ(parse(s, {"--verb=1"}).error, "--verbose takes no value");
    EXPECT_EQ(parse(s, {"a", "-o"}).error, "-o needs a value");
    EXPECT_EQ(parse(s, {"a", "--bl"}).error, "--block needs a value");
    EXPECT_EQ(parse(s, {"a", "-vb"}).error, "-b needs a value");
    EXPECT_EQ(parse(s, {"--help=no"}).error, "--help takes no value");
    EXPECT_TRUE(parse(s, {"x", "-o", "y", "z", "bad"}).error.empty());
    // Help and version are in every table and win over the operands' checks.
    EXPECT_EQ(parse(s, {"a", "--he"}).action, ParsedArguments::Action::Help);
    EXPECT_EQ(parse(s, {"-vh"}).action, ParsedArguments::Action::Help);
    EXPECT_EQ(parse(s, {"--vers"}).action, ParsedArguments::Action::Version);
    // An option's own check stops the parse with its message.
    std::vector<OptionSpec> strict = {{"level", 'l', "N", "", [](std::string_view v) {
                                           return v == "1" ? std::string()
                                                           : "bad level '" + std::string(v) + "'";
                                       }}};
    const std::vector<std::string> args = {"-l2"};
    EXPECT_EQ(parseOptions(args, strict).error, "bad level '2'");
}

TEST(OptionTable, HelpFitsEightyColumns) {
    Seen s;
    std::vector<OptionSpec> specs = table(s);
    specs.push_back(
        {"a-very-long-option-name",
         'x',
         "VALUE|OTHER",
         "a long explanation that has to be wrapped over more than one line because it does not fit "
         "in the fifty columns left of the eighty",
         {}});
    const std::string help = formatHelp(
        HelpLayout{"Usage: tool FILE...", std::string(30, 'w') + " " + std::string(60, 'w'), "Exit."}, specs);
    std::istringstream lines(help);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 80u) << line;
        ++count;
    }
    EXPECT_GT(count, 10);
    EXPECT_NE(help.find("  -x, --a-very-long-option-name VALUE|OTHER\n" + std::string(30, ' ') + "a long"),
              std::string::npos)
        << help;
    EXPECT_NE(help.find("      --force                 replace\n"), std::string::npos) << help;
    EXPECT_NE(help.find("  -h, --help"), std::string::npos);
    EXPECT_NE(help.find("      --version"), std::string::npos);
}

TEST(ToolMessages, OneLinePerMessageWithControlsEscaped) {
    EXPECT_EQ(escapeControls("a\nb\tc\033[31m\177\x01 ファイル"), "a\\nb\\tc\\033[31m\\177\\001 ファイル");
    EXPECT_EQ(escapeControls("x\xc2\x9b"
                             "2J"),
              "x\\302\\2332J");                           // U+009B, a one-byte CSI
    EXPECT_EQ(escapeControls("é\xc2\xa0"), "é\xc2\xa0");  // printable non-ASCII stays
    // Stray, cut-off and overlong bytes are shown as bytes too; Latin-1 names stay readable that way.
    EXPECT_EQ(escapeControls("a\x9b"
                             "1m\xe3\x83"),
              "a\\2331m\\343\\203");
    EXPECT_EQ(escapeControls("\xc0\xaf\xe9t\xe9"), "\\300\\257\\351t\\351");

    std::ostringstream err;
    Tool tool("nrbx-tool", err, true, "xterm");
    EXPECT_EQ(tool.usageError("unknown option '--a\nb'"), kExitUsage);
    EXPECT_EQ(tool.failed(nrbx::platform::fileOpenFailure("x\ny.pcg", ENOENT)), kExitFailed);
    tool.warning("odd\rsize");
    tool.setQuiet(true);
    tool.warning("hidden");
    EXPECT_EQ(err.str(),
              "nrbx-tool: unknown option '--a\\nb' (see nrbx-tool --help)\n"
              "nrbx-tool: ファイル x\\ny.pcg は開けません. (No such file or directory)\n"
              "nrbx-tool: warning: odd\\rsize\n");
    EXPECT_EQ(tool.versionText(), "nrbx-tool 0.20\n");
}

TEST(ToolMessages, ProgressOnlyOnATerminalThatCanRedraw) {
    std::ostringstream err;
    EXPECT_TRUE(Tool("t", err, true, "xterm-256color").progressWanted());
    EXPECT_FALSE(Tool("t", err, true, "dumb").progressWanted());
    EXPECT_FALSE(Tool("t", err, true, "").progressWanted());
    EXPECT_FALSE(Tool("t", err, false, "xterm").progressWanted());
    Tool quiet("t", err, true, "xterm");
    quiet.setQuiet(true);
    EXPECT_FALSE(quiet.progressWanted());
}

class LayerFiles : public nrbx::testing::CoreTest {};

TEST_F(LayerFiles, FailuresCarryTheSystemsReasonAndTheWindowsMessage) {
    const std::string missing = file("none.pcg").string();
    try {
        nrbx::platform::InputFile in(missing);
        FAIL();
    } catch (const nrbx::platform::Failure& f) {
        EXPECT_EQ(f.message(), "ファイル " + missing + " は開けません");
        EXPECT_EQ(failureText(f), "ファイル " + missing + " は開けません. (No such file or directory)");
    }
    try {
        nrbx::platform::InputFile in(dir().string());
        FAIL();
    } catch (const nrbx::platform::Failure& f) {
        EXPECT_EQ(f.reason(), "Is a directory");
    }
    const std::string fifo = file("fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        readInput(fifo, 16);
        FAIL();
    } catch (const nrbx::platform::Failure& f) {
        EXPECT_EQ(failureText(f), "ファイル " + fifo + " は開けません. (not a regular file)");
    }
    try {
        nrbx::platform::AtomicOutputFile out(file("no/such/x.bmp").string());
        FAIL();
    } catch (const nrbx::platform::Failure& f) {
        EXPECT_EQ(f.reason(), "No such file or directory");
    }
    // Without a reason nothing is added.
    EXPECT_EQ(failureText(nrbx::platform::streamReadFailure()), "ストリームからの読み込みエラー.");
}

TEST_F(LayerFiles, OutputsCollideByWhatTheyReallyAre) {
    fs::create_directory(file("d"));
    fs::create_directory_symlink("d", file("link"));
    nrbx::testing::writeBytes(file("in.pcg"), {1});
    nrbx::testing::writeBytes(file("d/kept.bmp"), {1});
    fs::create_symlink("kept.bmp", file("d/alias.bmp"));
    const fs::path cwd = fs::current_path();
    fs::current_path(dir());
    OutputCheck check;
    check.addInput("in.pcg", "the input 'in.pcg'");
    check.addInput("-", "standard input");
    EXPECT_EQ(check.addOutput("a.bmp", "x"), "");
    EXPECT_EQ(check.addOutput(dir().string() + "/a.bmp", "y"),
              "'x' and 'y' would both be written to 'a.bmp' (also named '" + dir().string() + "/a.bmp')");
    EXPECT_EQ(check.addOutput("d/b.bmp", "x"), "");
    EXPECT_EQ(check.addOutput("link/b.bmp", "z"),
              "'x' and 'z' would both be written to 'd/b.bmp' (also named 'link/b.bmp')");
    EXPECT_EQ(check.addOutput("d/kept.bmp", "x"), "");
    EXPECT_NE(check.addOutput("d/alias.bmp", "z"), "");  // a link is written through, so it is its target
    EXPECT_EQ(check.addOutput("./d/../in.pcg", "x"),
              "output './d/../in.pcg' would replace the input 'in.pcg'");
    EXPECT_EQ(check.addOutput("A.bmp", "x"), "");  // names differ in case: two files here
    EXPECT_EQ(check.addOutput("-", "x"), "");
    EXPECT_EQ(check.addOutput("-", "y"), "");  // standard output is checked by checkStandardStreams
    EXPECT_EQ(check.addOutput("gone/c.bmp", "x"), "");
    EXPECT_NE(check.addOutput("gone/./c.bmp", "y"), "");  // no folder to identify: compared as text
    check.refuseExisting();
    EXPECT_EQ(check.addOutput("d/alias.bmp", "w"), "output 'd/alias.bmp' exists; give --force to replace it");
    EXPECT_EQ(check.addOutput("d/new.bmp", "w"), "");
    fs::current_path(cwd);

    const std::vector<std::string> twoIn = {"-", "-"}, oneIn = {"a"}, none = {};
    const std::vector<std::string> twoOut = {"-", "b"};
    EXPECT_EQ(checkStandardStreams(twoIn, none), "standard input ('-') can be read only once");
    EXPECT_EQ(checkStandardStreams(oneIn, twoOut), "standard output ('-') takes one output only");
    EXPECT_EQ(checkStandardStreams(oneIn, oneIn), "");
}
