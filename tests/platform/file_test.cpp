#include "platform/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "platform/failure.h"
#include "platform/standard_descriptors.h"
#include "platform/syscall_watch.h"
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
    std::sort(names.begin(), names.end());
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
    // An output is refused in the same words, whether a FIFO or a device.
    const fs::path fifo = file("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& output : {fifo.string(), std::string("/dev/null")}) {
        try {
            AtomicOutputFile out(output);
            ADD_FAILURE() << output << " was taken as an output";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), FailureKind::FileCreate);
            EXPECT_EQ(f.reason(), "not a regular file") << output;
        }
    }
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

// The thumbnail service's case: it made the file and reads the thumbnail back through its own handle.
TEST_F(FileLayer, InPlaceFileIsTruncatedAndWrittenThroughTheOwnersHandle) {
    const fs::path target = file("thumb.png");
    writeBytes(target, {9, 9, 9, 9, 9, 9});
    const nrbx::platform::Descriptor owner(::open(target.c_str(), O_RDONLY));
    nrbx::platform::InPlaceOutputFile out(target);
    const std::vector<std::uint8_t> bytes{'n', 'e', 'w'};
    out.write(bytes);
    out.close();
    std::uint8_t back[8] = {};
    EXPECT_EQ(::pread(owner.get(), back, sizeof back, 0), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 3), bytes);

    nrbx::platform::setFileFaults({.readBudget = {}, .writeBudget = 1});
    EXPECT_EQ(failureOf([&] { nrbx::platform::InPlaceOutputFile(target).write(bytes); }),
              FailureKind::StreamWrite);
    EXPECT_EQ(failureOf([&] { nrbx::platform::InPlaceOutputFile(file("none/thumb.png")); }),
              FailureKind::FileCreate);
}

// In a child: open descriptors stay as they are (same file, no descriptor taken), closed ones become
// /dev/null.
TEST_F(FileLayer, StandardDescriptorsAreMadeSureWithoutTouchingOpenOnes) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct stat before {};
        struct stat devNull {};
        if (::fstat(STDIN_FILENO, &before) != 0 || ::stat("/dev/null", &devNull) != 0) ::_exit(10);
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        nrbx::platform::ensureStandardDescriptors();
        struct stat in {};
        struct stat out {};
        struct stat err {};
        if (::fstat(STDIN_FILENO, &in) != 0 || in.st_ino != before.st_ino || in.st_dev != before.st_dev)
            ::_exit(11);
        if (::fstat(STDOUT_FILENO, &out) != 0 || out.st_rdev != devNull.st_rdev) ::_exit(12);
        if (::fstat(STDERR_FILENO, &err) != 0 || err.st_rdev != devNull.st_rdev) ::_exit(13);
        const int next = ::dup(STDIN_FILENO);
        nrbx::platform::ensureStandardDescriptors();
        if (::dup(STDIN_FILENO) != next + 1) ::_exit(14);  // nothing opened when all are open
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
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

namespace {

// A folder chain under base whose path is exactly length bytes long (components of at most 200 bytes).
fs::path folderOfLength(const fs::path& base, std::size_t length) {
    std::string path = base.string();
    while (path.size() < length) {
        const std::size_t room = length - path.size() - 1;
        // Never leave a remainder too short for a component of its own.
        const std::size_t part = room <= 200 ? room : std::min<std::size_t>(200, room - 2);
        // Two appends, not "/" + string: GCC 12 -O3 misreports -Wrestrict on that.
        path += '/';
        path.append(part, 'd');
        fs::create_directory(path);
    }
    return path;
}

}  // namespace

TEST_F(FileLayer, NamesOfAnyLegalLengthAreSavedThroughAShortHiddenTemporary) {
    const fs::path longName = file(std::string(251, 'n') + ".bmp");       // NAME_MAX bytes
    const fs::path longPath = folderOfLength(dir(), 4095 - 6) / "x.bmp";  // PATH_MAX - 1 bytes
    ASSERT_EQ(longPath.string().size(), 4095u);
    for (const fs::path& target : {longName, longPath}) {
        SCOPED_TRACE(target.string().size());
        writeBytes(target, {'o', 'l', 'd'});
        AtomicOutputFile out(target);
        // Hidden, recognisable, and as long whatever the target's name is.
        EXPECT_TRUE(std::regex_match(fs::path(out.temporaryPath()).filename().string(),
                                     std::regex(R"(\.nrbx-[0-9a-z]{8}\.tmp)")))
            << out.temporaryPath();
        out.write("new", 3);
        out.commit();
        EXPECT_EQ(readBytes(target), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
        for (const fs::path& name : entriesOf(target.parent_path()))
            EXPECT_NE(name.string().rfind(".nrbx-", 0), 0u) << "temporary left: " << name;
    }
}

TEST_F(FileLayer, ReplaceKeepsOnlyThePermissionBitsNeverSetIdBits) {
    const fs::path target = file("tool.bmp");
    writeBytes(target, {0});
    ASSERT_EQ(::chmod(target.c_str(), 06750), 0);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    ASSERT_NE(st.st_mode & S_ISUID, 0u) << "the set-user-ID bit could not be set up";
    {
        AtomicOutputFile out(target);
        out.commit();
    }
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
}

TEST_F(FileLayer, OutputLinksThatLeadNowhereAreACreateFailureAndStay) {
    fs::create_symlink("missing.bmp", file("dangling.bmp"));
    fs::create_symlink(file("loop-b.bmp"), file("loop-a.bmp"));
    fs::create_symlink(file("loop-a.bmp"), file("loop-b.bmp"));
    const auto before = entriesOf(dir());
    for (const char* name : {"dangling.bmp", "loop-a.bmp"}) {
        SCOPED_TRACE(name);
        const fs::path link = file(name);
        const fs::path pointsTo = fs::read_symlink(link);
        EXPECT_EQ(failureOf([&] {
                      AtomicOutputFile out(link);
                      out.write("x", 1);
                      out.commit();
                  }),
                  FailureKind::FileCreate);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), pointsTo);
    }
    EXPECT_EQ(entriesOf(dir()), before);  // nothing made at the far end, no temporary left
}

namespace {

using nrbx::testing::syscallWatch;

// Checks below the file layer, through the test program's own system-call definitions.
class FileLayerCalls : public FileLayer {
  protected:
    void SetUp() override {
        FileLayer::SetUp();
        nrbx::testing::resetSyscallWatch();
    }
    void TearDown() override {
        nrbx::testing::resetSyscallWatch();
        FileLayer::TearDown();
    }
    static ino_t inodeOf(const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_ino;
    }
    static std::vector<std::string> recorded(const std::function<void()>& f) {
        syscallWatch().calls.clear();
        syscallWatch().recording = true;
        f();
        syscallWatch().recording = false;
        return syscallWatch().calls;
    }
    static bool contains(const std::vector<std::string>& calls, const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
};

}  // namespace

TEST_F(FileLayerCalls, SpecialFilesAreRefusedWithoutBeingOpened) {
    // Opening a FIFO would release a writer waiting on it; opening a device can act on it.
    const fs::path fifo = file("pipe.pcg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeBytes(file("plain.pcg"), {1});
    const auto calls = recorded([&] {
        EXPECT_EQ(failureOf([&] { InputFile in(fifo); }), FailureKind::FileOpen);
        EXPECT_EQ(failureOf([&] { InputFile in("/dev/null"); }), FailureKind::FileOpen);
        InputFile in(file("plain.pcg"));
    });
    EXPECT_TRUE(contains(calls, "open " + file("plain.pcg").string()));  // the watch does see opens
    EXPECT_FALSE(contains(calls, "open " + fifo.string()));
    EXPECT_FALSE(contains(calls, "open /dev/null"));
}

TEST_F(FileLayerCalls, StallingOrFailingFileSystemIsNeverReadAsAShortFile) {
    const std::vector<std::uint8_t> bytes(512, 0x5A);
    writeBytes(file("net.pal"), bytes);
    syscallWatch().stallNonblockingReadsOn = inodeOf(file("net.pal"));
    {
        InputFile in(file("net.pal"));
        std::vector<std::uint8_t> got(bytes.size());
        in.readExact(got.data(), got.size());
        EXPECT_EQ(got, bytes);
    }
    syscallWatch().failLseekOn = inodeOf(file("net.pal"));
    InputFile in(file("net.pal"));
    EXPECT_EQ(failureOf([&] { (void)in.size(); }), FailureKind::StreamRead);
}

TEST_F(FileLayerCalls, CommitReturnsOnlyOnceTheFolderIsSyncedAfterTheRename) {
    const std::string folder = "fsync folder " + std::to_string(inodeOf(dir()));
    const auto calls = recorded([&] {
        AtomicOutputFile out(file("out.bmp"));
        out.write("abc", 3);
        out.commit();
    });
    const auto rename = std::find(calls.begin(), calls.end(), "rename");
    ASSERT_NE(rename, calls.end());
    EXPECT_NE(std::find(rename, calls.end(), folder), calls.end()) << "no folder sync after the rename";
    EXPECT_EQ(std::count_if(calls.begin(), rename,
                            [](const std::string& c) { return c.rfind("fsync file", 0) == 0; }),
              1);

    // A folder that cannot be synced is a failed save, not a success.
    syscallWatch().failFolderSync = true;
    EXPECT_EQ(failureOf([&] {
                  AtomicOutputFile out(file("out.bmp"));
                  out.write("def", 3);
                  out.commit();
              }),
              FailureKind::StreamWrite);
    EXPECT_EQ(entriesOf(dir()), std::vector<fs::path>{"out.bmp"});
}

TEST_F(FileLayerCalls, NewFilesFollowTheUmaskWhichIsNeverChanged) {
    for (const mode_t mask : {mode_t{027}, mode_t{002}}) {
        const mode_t old = ::umask(mask);
        const fs::path target = file("new-" + std::to_string(mask) + ".bmp");
        const auto calls = recorded([&] {
            AtomicOutputFile out(target);
            out.commit();
        });
        ::umask(old);
        EXPECT_FALSE(contains(calls, "umask")) << "the process-wide umask was changed, if only briefly";
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    }
}

TEST_F(FileLayer, SaveIntoAnUnreadableFolderStillWorks) {
    if (nrbx::testing::runningAsRoot()) GTEST_SKIP() << "permission bits do not bind root";
    // A drop folder: the user may add names but not list them.
    const fs::path drop = file("drop");
    fs::create_directory(drop);
    fs::permissions(drop, fs::perms::owner_write | fs::perms::owner_exec);
    {
        AtomicOutputFile out(drop / "in.bmp");
        out.write("ok", 2);
        out.commit();
    }
    fs::permissions(drop, fs::perms::owner_all);
    EXPECT_EQ(readBytes(drop / "in.bmp"), (std::vector<std::uint8_t>{'o', 'k'}));
    EXPECT_EQ(entriesOf(drop), std::vector<fs::path>{"in.bmp"});
}
