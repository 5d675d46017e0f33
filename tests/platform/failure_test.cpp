#include "platform/failure.h"

#include <gtest/gtest.h>

using nrbx::platform::Failure;
using nrbx::platform::FailureKind;
using nrbx::platform::withFullStop;

TEST(FailureMessages, CarryKindAndThePathUnchanged) {
    const std::string path = "/home/ユーザー/スプライト データ.pcg";
    const Failure open = nrbx::platform::fileOpenFailure(path);
    EXPECT_EQ(open.kind(), FailureKind::FileOpen);
    EXPECT_EQ(open.message(), "ファイル " + path + " は開けません");

    const Failure create = nrbx::platform::fileCreateFailure("out.bmp");
    EXPECT_EQ(create.kind(), FailureKind::FileCreate);
    EXPECT_EQ(create.message(), "ファイル out.bmp を作成できません");

    EXPECT_EQ(nrbx::platform::streamReadFailure().kind(), FailureKind::StreamRead);
    EXPECT_EQ(nrbx::platform::streamReadFailure().message(), "ストリームからの読み込みエラー");
    EXPECT_EQ(nrbx::platform::streamWriteFailure().kind(), FailureKind::StreamWrite);
    EXPECT_EQ(nrbx::platform::streamWriteFailure().message(), "ストリームへの書き込みエラー");
    EXPECT_STREQ(open.what(), open.message().c_str());
}

TEST(FailureMessages, FullStopRuleLooksAtTheLastCharacter) {
    // Above '.': letters, digits, any multi-byte character, the Japanese full stop included.
    EXPECT_EQ(withFullStop("ファイル a は開けません"), "ファイル a は開けません.");
    EXPECT_EQ(withFullStop("disk full"), "disk full.");
    EXPECT_EQ(withFullStop("error 7"), "error 7.");
    EXPECT_EQ(withFullStop("終わり。"), "終わり。.");
    EXPECT_EQ(withFullStop("ｱ"), "ｱ.");  // half-width katakana is one multi-byte character in UTF-8
    EXPECT_EQ(withFullStop("x/"), "x/.");
    // '.' and everything below it get nothing.
    EXPECT_EQ(withFullStop("done."), "done.");
    EXPECT_EQ(withFullStop("(see above)"), "(see above)");
    for (char c : std::string(" !\"#$%&'()*+,-")) {
        const std::string text = std::string("a") + c;
        EXPECT_EQ(withFullStop(text), text) << "ending in '" << c << "'";
    }
    EXPECT_EQ(withFullStop(""), "");
}
