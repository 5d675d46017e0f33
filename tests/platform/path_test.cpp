#include "platform/path.h"

#include <gtest/gtest.h>

using nrbx::platform::ExtractDirectory;
using nrbx::platform::posixFlavour;
using nrbx::platform::windowsFlavour;

namespace {
// Shift-JIS: ソ is 83 5C and 表 is 95 5C; both trail bytes are a backslash.
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";
const std::string kFuto = "\x83\x74\x83\x67";  // フト
}  // namespace

TEST(ExtractDirectoryWindows, KeepsTheSeparatorOnlyAfterADriveOrALeadingPair) {
    const auto w = windowsFlavour();
    EXPECT_EQ(ExtractDirectory("C:\\TOOLS\\VIEW.EXE", w), "C:\\TOOLS");
    EXPECT_EQ(ExtractDirectory("C:\\VIEW.EXE", w), "C:\\");
    EXPECT_EQ(ExtractDirectory("\\\\SERVER\\SHARE\\VIEW.EXE", w), "\\\\SERVER\\SHARE");
    EXPECT_EQ(ExtractDirectory("C:VIEW.EXE", w), "C:");
    EXPECT_EQ(ExtractDirectory("VIEW.EXE", w), "");
    EXPECT_EQ(ExtractDirectory("", w), "");
}

TEST(ExtractDirectoryWindows, SkipsBackslashesThatAreTrailBytesOfDoubleByteCharacters) {
    const auto w = windowsFlavour();
    EXPECT_EQ(ExtractDirectory("C:\\TOOLS\\" + kSo + kFuto + ".EXE", w), "C:\\TOOLS");
    EXPECT_EQ(ExtractDirectory("C:\\" + kHyo + "\\VIEW.EXE", w), "C:\\" + kHyo);
    // A name that is only a double-byte character ending in 5C has no separator at all.
    EXPECT_EQ(ExtractDirectory(kSo, w), "");
    // Two lead bytes in a row form one character; the 5C after them is a real separator.
    EXPECT_EQ(ExtractDirectory("A\x83\x83\\B", w), "A\x83\x83");
}

TEST(ExtractDirectoryPosix, UsesSlashAndNoDoubleByteTable) {
    const auto p = posixFlavour();
    EXPECT_EQ(ExtractDirectory("/usr/local/bin/nrbx", p), "/usr/local/bin");
    EXPECT_EQ(ExtractDirectory("/nrbx", p), "/");
    EXPECT_EQ(ExtractDirectory("nrbx", p), "");
    EXPECT_EQ(ExtractDirectory("/opt/ツール/nrbx", p), "/opt/ツール");
    // Backslash is an ordinary byte here.
    EXPECT_EQ(ExtractDirectory("/tmp/a\\b", p), "/tmp");
}

TEST(ExecutablePath, NamesThisTestProgram) {
    const std::string path = nrbx::platform::executablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("nrbx_core_tests"), std::string::npos);
}
