#include "cli/progress.h"

#include <gtest/gtest.h>

#include <sstream>

using nrbx::cli::Progress;

namespace {

std::string runBatch(std::size_t total, bool terminal, bool verbose, bool failSecond = false) {
    std::ostringstream err;
    {
        Progress progress(err, "nrbx-export", total, terminal, verbose);
        for (std::size_t i = 0; i < total; ++i) {
            progress.starting(i, "in" + std::to_string(i) + ".pcg", "out" + std::to_string(i) + ".bmp");
            if (failSecond && i == 1) progress.failed("boom.");
        }
        progress.finish();
    }
    return err.str();
}

}  // namespace

TEST(Progress, SilentUnlessABatchOnATerminalOrVerbose) {
    EXPECT_EQ(runBatch(3, false, false), "");
    EXPECT_EQ(runBatch(1, true, false), "");
    EXPECT_EQ(runBatch(3, false, false, true), "nrbx-export: boom.\n");
}

TEST(Progress, TerminalLineIsOverwrittenAndClearedAtTheEnd) {
    EXPECT_EQ(runBatch(2, true, false), "[1/2] in0.pcg\r\033[K[2/2] in1.pcg\r\033[K");
    // A failure first clears the progress line, so it stands alone on its own line.
    EXPECT_EQ(runBatch(3, true, false, true),
              "[1/3] in0.pcg\r\033[K[2/3] in1.pcg\r\033[Knrbx-export: boom.\n[3/3] in2.pcg\r\033[K");
}

TEST(Progress, VerboseGivesOneLinePerFileAnywhere) {
    const std::string expected = "[1/2] in0.pcg -> out0.bmp\n[2/2] in1.pcg -> out1.bmp\n";
    EXPECT_EQ(runBatch(2, false, true), expected);
    EXPECT_EQ(runBatch(2, true, true), expected);
    EXPECT_EQ(runBatch(1, false, true), "[1/1] in0.pcg -> out0.bmp\n");
}

TEST(Progress, PathsAndMessagesStayOnOneLine) {
    std::ostringstream err;
    Progress progress(err, "nrbx-export", 2, true, false);
    progress.starting(0, "a\033[2J\n.pcg", "x.bmp");
    progress.failed("ファイル a\nb は開けません.");
    progress.finish();
    EXPECT_EQ(err.str(), "[1/2] a\\033[2J\\n.pcg\r\033[Knrbx-export: ファイル a\\nb は開けません.\n");
}
