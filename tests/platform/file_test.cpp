#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/failure.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using nrbx::platform::AtomicOutputFile;
using nrbx::platform::Failure;
using nrbx::platform::FailureKind;
using nrbx::platform::InputFile;
using nrbx::testing::readBytes;
using nrbx::testing::writeBytes;

namespace {

class FileLayer : public nrbx::testing::CoreTest {};

FailureKind failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& failure) {
        return failure.kind();
    }
    ADD_FAILURE() << "no failure raised";
    return FailureKind::Other;
}

std::vector<fs::path> entriesOf(const fs::path& dir) {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    return names;
}

}  // namespace

TEST_F(FileLayer, InputFileReadsSizeAndExactBytes) {
    writeBytes(file("a.bin"), {1, 2, 3, 4, 5});
    InputFile in(file("a.bin"));
    EXPECT_EQ(in.size(), 5u);
    unsigned char buf[5] = {};
    in.readExact(buf, 3);
    EXPECT_EQ(in.size(), 5u);  // asking the size does not move the read position
    in.readExact(buf + 3, 2);
    EXPECT_EQ(std::vector<unsigned char>(buf, buf + 5), (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    in.readExact(buf, 0);
    EXPECT_EQ(failureOf([&] { in.readExact(buf, 1); }), FailureKind::StreamRead);
}

TEST_F(FileLayer, OpeningRefusesWhatIsNotARegularFile) {
    try {
        InputFile in(file("missing.pcg"));
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), FailureKind::FileOpen);
        EXPECT_EQ(f.message(), "ファイル " + file("missing.pcg").string() + " は開けません");
    }
    EXPECT_EQ(failureOf([&] { InputFile in(dir()); }), FailureKind::FileOpen);
    EXPECT_EQ(failureOf([&] { InputFile in("/dev/null"); }), FailureKind::FileOpen);
}

TEST_F(FileLayer, OpeningAFifoWithoutWriterFailsAtOnceInsteadOfHanging) {
    const fs::path fifo = file("pipe.pcg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The open runs in a child so a blocking regression fails the test rather than hanging the run.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            InputFile in(fifo);
        } catch (const Failure& f) {
            ::_exit(f.kind() == FailureKind::FileOpen ? 0 : 2);
        }
        ::_exit(3);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            FAIL() << "opening a FIFO blocked";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(FileLayer, ReadOnlyFileOpensForReading) {
    writeBytes(file("ro.pal"), {9, 8});
    fs::permissions(file("ro.pal"), fs::perms::owner_read);
    InputFile in(file("ro.pal"));
    EXPECT_EQ(in.size(), 2u);
}

TEST_F(FileLayer, UnreadableFileFailsToOpen) {
    if (nrbx::testing::runningAsRoot()) GTEST_SKIP() << "permission bits do not bind root";
    writeBytes(file("secret.pcg"), {1});
    fs::permissions(file("secret.pcg"), fs::perms::none);
    EXPECT_EQ(failureOf([&] { InputFile in(file("secret.pcg")); }), FailureKind::FileOpen);
}

TEST_F(FileLayer, InjectedReadBudgetGivesAShortRead) {
    writeBytes(file("a.bin"), std::vector<std::uint8_t>(100, 7));
    nrbx::platform::setFileFaults({.readBudget = 40, .writeBudget = {}});
    InputFile in(file("a.bin"));
    std::vector<std::uint8_t> buf(100);
    EXPECT_EQ(failureOf([&] { in.readExact(buf.data(), 100); }), FailureKind::StreamRead);
}

TEST_F(FileLayer, AtomicFileCreatesAndReplacesOnlyOnCommit) {
    const fs::path target = file("out.bmp");
    writeBytes(target, {'o', 'l', 'd'});
    {
        AtomicOutputFile out(target);
        out.write("new!", 4);
        EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(fs::path(out.temporaryPath()).parent_path(), dir());
        out.commit();
    }
    EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{'n', 'e', 'w', '!'}));
    EXPECT_EQ(entriesOf(dir()).size(), 1u);
}

TEST_F(FileLayer, AtomicFileWithoutCommitLeavesNoTraceAndTheOldFileIntact) {
    const fs::path target = file("out.bmp");
    writeBytes(target, {1, 2, 3});
    {
        AtomicOutputFile out(target);
        out.write("abc", 3);
    }
    EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(entriesOf(dir()), std::vector<fs::path>{"out.bmp"});
}

TEST_F(FileLayer, ShortWriteRaisesStreamWriteAndKeepsTheOldFile) {
    const fs::path target = file("out.bmp");
    writeBytes(target, {1, 2, 3});
    nrbx::platform::setFileFaults({.readBudget = {}, .writeBudget = 2});
    EXPECT_EQ(failureOf([&] {
                  AtomicOutputFile out(target);
                  out.write("abcd", 4);
                  out.commit();
              }),
              FailureKind::StreamWrite);
    EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(entriesOf(dir()), std::vector<fs::path>{"out.bmp"});
}

TEST_F(FileLayer, ReplaceKeepsPermissionBitsAndNewFilesFollowTheUmask) {
    const fs::path target = file("shared.bmp");
    writeBytes(target, {0});
    ::chmod(target.c_str(), 0640);
    {
        AtomicOutputFile out(target);
        out.commit();
    }
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const mode_t old = ::umask(022);
    {
        AtomicOutputFile out(file("fresh.bmp"));
        out.commit();
    }
    ::umask(old);
    ASSERT_EQ(::stat(file("fresh.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(FileLayer, ReplacingThroughASymbolicLinkWritesTheLinkedFile) {
    writeBytes(file("real.bmp"), {1});
    fs::create_symlink(file("real.bmp"), file("link.bmp"));
    {
        AtomicOutputFile out(file("link.bmp"));
        out.write("xy", 2);
        out.commit();
    }
    EXPECT_TRUE(fs::is_symlink(file("link.bmp")));
    EXPECT_EQ(readBytes(file("real.bmp")), (std::vector<std::uint8_t>{'x', 'y'}));
}

TEST_F(FileLayer, CreateFailsForMissingFolderDirectoryAndReadOnlyTarget) {
    const fs::path missing = file("no-such-folder") / "x.bmp";
    try {
        AtomicOutputFile out(missing);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), FailureKind::FileCreate);
        EXPECT_EQ(f.message(), "ファイル " + missing.string() + " を作成できません");
    }
    fs::create_directory(file("folder.bmp"));
    EXPECT_EQ(failureOf([&] { AtomicOutputFile out(file("folder.bmp")); }), FailureKind::FileCreate);

    if (nrbx::testing::runningAsRoot()) GTEST_SKIP() << "permission bits do not bind root";
    writeBytes(file("ro.bmp"), {5});
    fs::permissions(file("ro.bmp"), fs::perms::owner_read);
    EXPECT_EQ(failureOf([&] { AtomicOutputFile out(file("ro.bmp")); }), FailureKind::FileCreate);
    EXPECT_EQ(readBytes(file("ro.bmp")), std::vector<std::uint8_t>{5});
    const fs::path locked = file("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(failureOf([&] { AtomicOutputFile out(locked / "x.bmp"); }), FailureKind::FileCreate);
}
