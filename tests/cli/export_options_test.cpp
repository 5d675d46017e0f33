#include "cli/export_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace nrbx::cli;
using nrbx::canvas::CellRect;
using nrbx::exporting::CellsBlock;

namespace {

CommandLine parse(std::vector<std::string> args) {
    return parseCommandLine(args);
}

Options parsedOptions(std::vector<std::string> args) {
    const CommandLine line = parse(std::move(args));
    EXPECT_EQ(line.action, Action::Convert) << line.error;
    return line.options;
}

std::string errorOf(std::vector<std::string> args) {
    const CommandLine line = parse(std::move(args));
    EXPECT_EQ(line.action, Action::UsageError);
    EXPECT_EQ(line.error.find('\n'), std::string::npos) << "a usage error is one line";
    return line.error;
}

}  // namespace

TEST(CommandLine, DefaultsWithOnlyPatterns) {
    const Options o = parsedOptions({"a.pcg", "b.pcg"});
    EXPECT_EQ(o.patterns, (std::vector<std::string>{"a.pcg", "b.pcg"}));
    EXPECT_FALSE(o.palette);
    EXPECT_EQ(o.block, 0);
    EXPECT_TRUE(o.cells.empty());
    EXPECT_FALSE(o.select);
    EXPECT_EQ(o.depth, 24);
    EXPECT_FALSE(o.format);
    EXPECT_EQ(o.indexing, Indexing::Nearest);
    EXPECT_FALSE(o.output);
    EXPECT_FALSE(o.outputDir);
    EXPECT_FALSE(o.verbose);
}

TEST(CommandLine, ValuesInEverySpelling) {
    const Options o = parsedOptions({"-p", "x.pal", "a.pcg", "--block=7", "-d8", "--format", "PNG", "-o",
                                     "out.png", "-s", "5,7:2,3", "--indexed=sprite", "-v"});
    EXPECT_EQ(o.palette, "x.pal");
    EXPECT_EQ(o.block, 7);
    EXPECT_EQ(o.depth, 8);
    EXPECT_EQ(o.format, Format::Png);
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.select, (CellRect{2, 3, 5, 7}));  // corners ordered
    EXPECT_EQ(o.indexing, Indexing::Sprite);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.patterns, std::vector<std::string>{"a.pcg"});

    const Options l = parsedOptions({"--palette=y.pal", "-b", "15", "--depth=4", "-fbmp", "--output-dir", "d",
                                     "--select=0,0:15,15", "a.pcg", "--verbose"});
    EXPECT_EQ(l.palette, "y.pal");
    EXPECT_EQ(l.block, 15);
    EXPECT_EQ(l.depth, 4);
    EXPECT_EQ(l.format, Format::Bmp);
    EXPECT_EQ(l.outputDir, "d");
    EXPECT_EQ(l.select, (CellRect{0, 0, 15, 15}));
}

TEST(CommandLine, CellsRepeatInOrderAndLaterOptionsWin) {
    const Options o = parsedOptions({"a.pcg", "--cells", "0,0:3,3=2", "--cells=15,15:12,14=9", "-d", "8",
                                     "-d", "4", "-b", "1", "-b", "3"});
    ASSERT_EQ(o.cells.size(), 2u);
    EXPECT_EQ(o.cells[0], (CellsBlock{{0, 0, 3, 3}, 2}));
    EXPECT_EQ(o.cells[1], (CellsBlock{{12, 14, 15, 15}, 9}));
    EXPECT_EQ(o.depth, 4);
    EXPECT_EQ(o.block, 3);
}

TEST(CommandLine, DoubleDashAndLoneDashAreFileNames) {
    const Options o = parsedOptions({"-b", "2", "--", "-b", "--help", "-"});
    EXPECT_EQ(o.patterns, (std::vector<std::string>{"-b", "--help", "-"}));
    EXPECT_EQ(o.block, 2);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(parse({"-h"}).action, Action::Help);
    EXPECT_EQ(parse({"a.pcg", "--help", "-o", "x"}).action, Action::Help);
    // Help needs no pattern, and an option that would be wrong later does not hide it.
    EXPECT_EQ(parse({"--help", "-d", "8", "--indexed", "sprite", "-o", "x", "a", "b"}).action, Action::Help);
    EXPECT_EQ(parse({"--version"}).action, Action::Version);
    EXPECT_EQ(versionText(), "nrbx-export 0.20\n");
    EXPECT_NE(helpText().find("--indexed nearest|sprite"), std::string::npos);
}

TEST(CommandLine, ValuesOutOfRangeOrMalformedAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"a", "-b", "16"},
             {"a", "-b", "-1"},
             {"a", "-b", "+3"},
             {"a", "-b", "3x"},
             {"a", "-b", ""},
             {"a", "--block=99999999999999999999"},
             {"a", "-d", "16"},
             {"a", "-d", "024"},
             {"a", "-f", "gif"},
             {"a", "--indexed", "exact"},
             {"a", "-s", "1,2"},
             {"a", "-s", "1,2:3"},
             {"a", "-s", "1,2:3,16"},
             {"a", "-s", "1, 2:3,4"},
             {"a", "-s", "1,2:3,4,5"},
             {"a", "--cells", "1,2:3,4"},
             {"a", "--cells", "1,2:3,4=16"},
             {"a", "--cells", "1,2:3,4="},
             {"a", "--cells", "16,0:0,0=1"},
             {"a", "-p", ""},
             {"a", "-o", ""},
         }) {
        const CommandLine line = parse(args);
        EXPECT_EQ(line.action, Action::UsageError) << args.back();
    }
    EXPECT_EQ(errorOf({"a", "-b", "16"}), "invalid value '16' for --block (expected 0..15)");
}

TEST(CommandLine, UnknownOrIncompleteOptions) {
    EXPECT_EQ(errorOf({"a", "-x"}), "unknown option '-x'");
    EXPECT_EQ(errorOf({"a", "--colour"}), "unknown option '--colour'");
    // Short options bundle: the unknown one is named alone, and "-hv" is help.
    EXPECT_EQ(errorOf({"a", "-vx"}), "unknown option '-x'");
    EXPECT_EQ(parse({"a", "-hv"}).action, Action::Help);
    EXPECT_EQ(errorOf({"a", "--verbose=yes"}), "--verbose takes no value");
    EXPECT_EQ(errorOf({"a", "--help=1"}), "--help takes no value");
    EXPECT_EQ(errorOf({"a", "-p"}), "-p needs a value");
    EXPECT_EQ(errorOf({"a", "--cells"}), "--cells needs a value");
}

TEST(CommandLine, RulesBetweenOptions) {
    EXPECT_EQ(errorOf({}), "no pattern file given");
    EXPECT_EQ(errorOf({"-d", "8"}), "no pattern file given");
    EXPECT_EQ(errorOf({"a", "b", "-o", "x.bmp"}),
              "--output takes one pattern file; use --output-dir for several");
    EXPECT_EQ(errorOf({"a", "-o", "x.bmp", "-O", "d"}), "--output and --output-dir cannot be used together");
    EXPECT_EQ(errorOf({"a", "--indexed", "sprite"}), "--indexed sprite needs --depth 8 or 4");
    EXPECT_EQ(parse({"a", "--indexed", "nearest"}).action, Action::Convert);
}

TEST(CommandLine, SpriteIndicesAtFourBitsNeedOneBlockInTheWrittenCells) {
    // Whole picture in block 4, then part of it in block 9: mixed.
    EXPECT_NE(
        errorOf({"a", "-d", "4", "--indexed", "sprite", "-b", "4", "--cells", "2,2:3,3=9"}).find("cell 2,2"),
        std::string::npos);
    // The selection avoids the changed cells, or a later --cells restores them: one block again.
    EXPECT_EQ(
        parse({"a", "-d", "4", "--indexed", "sprite", "-b", "4", "--cells", "2,2:3,3=9", "-s", "4,4:15,15"})
            .action,
        Action::Convert);
    EXPECT_EQ(parse({"a", "-d", "4", "--indexed", "sprite", "--cells", "3,3:2,2=9", "-s", "3,2:2,3"}).action,
              Action::Convert);
    EXPECT_EQ(
        parse({"a", "-d", "4", "--indexed", "sprite", "--cells", "0,0:5,5=9", "--cells", "0,0:5,5=0"}).action,
        Action::Convert);
    // Reversed selection corners are checked over the same cells.
    EXPECT_EQ(parse({"a", "-d", "4", "--indexed", "sprite", "--cells", "15,15:15,15=1", "-s", "15,14:14,15"})
                  .action,
              Action::UsageError);
    // At 8 bits any mixture is fine.
    EXPECT_EQ(parse({"a", "-d", "8", "--indexed", "sprite", "--cells", "2,2:3,3=9"}).action, Action::Convert);
}

TEST(CommandLine, PlannedBlocksFollowCellsInOrder) {
    const Options o = parsedOptions({"a", "-b", "1", "--cells", "3,4:1,2=5", "--cells", "2,3:2,3=7"});
    const nrbx::exporting::CellBlocks b = nrbx::exporting::plannedCellBlocks(o.block, o.cells);
    EXPECT_EQ(b[0][0], 1);
    EXPECT_EQ(b[2][1], 5);  // [cy][cx]
    EXPECT_EQ(b[4][3], 5);
    EXPECT_EQ(b[3][2], 7);
    EXPECT_EQ(b[5][3], 1);
    EXPECT_EQ(b[4][4], 1);
}
