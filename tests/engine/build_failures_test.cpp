// How a build ends when it cannot complete: cancel, I/O failures, files the
// format cannot hold.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "builder/engine/build_errors.h"
#include "builder/engine/cancel.h"
#include "platform/filesystem.h"
#include "platform/text.h"
#include "tests/support/build_fixture.h"
#include "tests/support/scripted_progress.h"

namespace ql::test {
namespace {

BuildError CatchBuildError(const std::function<void()>& build) {
    try {
        build();
    } catch (const BuildError& error) {
        return error;
    }
    ADD_FAILURE() << "no BuildError";
    return BuildError("", -1);
}

TEST_F(BuildTest, ProgressIsReportedPerChunkAndPerFile) {
    ScriptedProgress progress;
    env.progress = &progress;
    WriteFile(Src("big.bin"), PatternData(kChunkSize + 1, 9));
    WriteFile(Src("small.txt"), "12345");
    BuildAndRead();
    std::string total = std::to_string(kChunkSize + 6);
    EXPECT_EQ(progress.events,
              (std::vector<std::string>{"init", "target " + options.Target, "report 0/0 0/0",
                                        "source " + Src("big.bin"), "report 0/9437185 0/" + total,
                                        "report 9437184/9437185 0/" + total,
                                        "report 9437185/9437185 0/" + total, "source " + Src("small.txt"),
                                        "report 0/5 9437185/" + total, "report 5/5 9437185/" + total}));
}

TEST_F(BuildTest, CancelDeletesTheTargetAndWarnsEvenWithoutMessages) {
    ScriptedProgress progress;
    progress.onReport = [] { CancelRequested = true; };
    env.progress = &progress;
    env.showMessages = false;
    WriteFile(Src("a.bin"), PatternData(kChunkSize * 2, 4));
    WriteFile(Src("b.txt"), "never written");
    WriteFile(options.Target, "an earlier SFX file");
    EXPECT_FALSE(BuildSfx(options, env));
    // As the warning says: the target is gone, and so is the file being written.
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"src"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "warning");
    EXPECT_EQ(dialogs.shown[0].text, "Quillon 已中止\r\n目标自解压文件已被删除");
    // The next build starts with the flag cleared.
    env.progress = nullptr;
    EXPECT_TRUE(BuildSfx(options, env));
}

// An I/O failure names the file it concerns: the target here, the source
// file below.
TEST_F(BuildTest, ReadOnlyTargetIsAccessDeniedAndKept) {
    WriteFile(options.Target, "old");
    chmod(options.Target.c_str(), 0444);
    BuildError error = CatchBuildError([&] { BuildSfx(options, env); });
    EXPECT_EQ(error.Code(), 5);
    EXPECT_STREQ(error.what(), "文件访问被拒绝");
    EXPECT_EQ(error.Path(), options.Target);
    EXPECT_EQ(ReadFile(options.Target), "old");
}

// On one thread nothing is read ahead, so the hook at the file's source text
// acts between the scan and the file's reading.
TEST_F(BuildTest, FileThatShrankAfterTheScanIsReadPastItsEnd) {
    env.packingThreads = 1;
    WriteFile(Src("shrinks.txt"), "0123456789");
    ScriptedProgress progress;
    progress.onSource = [&](const std::string& path) { WriteFile(path, "0123"); };
    env.progress = &progress;
    BuildError error = CatchBuildError([&] { BuildSfx(options, env); });
    EXPECT_EQ(error.Code(), 100);
    EXPECT_STREQ(error.what(), "读取范围超出文件界限");
}

TEST_F(BuildTest, VanishedFileIsFileNotFound) {
    env.packingThreads = 1;
    WriteFile(Src("gone.txt"), "x");
    ScriptedProgress progress;
    progress.onSource = [&](const std::string& path) { unlink(path.c_str()); };
    env.progress = &progress;
    BuildError error = CatchBuildError([&] { BuildSfx(options, env); });
    EXPECT_EQ(error.Code(), 2);
    EXPECT_STREQ(error.what(), "文件未找到");
    EXPECT_EQ(error.Path(), Src("gone.txt"));
}

TEST_F(BuildTest, AFailedBuildLeavesTheOldTargetAsItWasAndNothingBesideIt) {
    env.packingThreads = 1;  // the file vanishes between the scan and its reading
    MakeFolder(dir / "real");
    WriteFile(dir / "real/setup.exe", "a good SFX from an earlier build");
    ASSERT_EQ(symlink("real/setup.exe", options.Target.c_str()), 0);
    WriteFile(Src("gone.txt"), "x");
    ScriptedProgress progress;
    progress.onSource = [&](const std::string& path) { unlink(path.c_str()); };
    env.progress = &progress;
    EXPECT_EQ(CatchBuildError([&] { BuildSfx(options, env); }).Code(), 2);
    EXPECT_EQ(ReadFile(options.Target), "a good SFX from an earlier build");
    EXPECT_EQ(FolderNames(dir / "real"), std::vector<std::string>{"setup.exe"});
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"out.exe", "real", "src"}));
}

TEST_F(BuildTest, AFailureWritingTheStubLeavesNothingBesideTheOldTarget) {
    WriteFile(options.Target, "a good SFX from an earlier build");
    // Files may grow to 512 bytes only: the stub image (1 KiB) does not fit.
    struct rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CatchBuildError([&] { BuildSfx(options, env); });
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(ReadFile(options.Target), "a good SFX from an earlier build");
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"out.exe", "src"}));
}

TEST_F(BuildTest, EmptyTargetCannotBeCreated) {
    options.Target = "  ";
    BuildError error = CatchBuildError([&] { BuildSfx(options, env); });
    EXPECT_EQ(error.Code(), 3);
    EXPECT_STREQ(error.what(), "无法创建目录");
}

TEST_F(BuildTest, NamesAreStoredInTheAnsiCodePage) {
    WriteFile(Src("caf\xc3\xa9.txt"), "latte");
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].name, "caf\xe9.txt");  // code page 1252
}

TEST_F(BuildTest, NamesWindowsCannotUseAreRefused) {
    // A backslash would become a folder; the others cannot be created at all.
    // The rule holds for names stored as UTF-8 too (文 is not in code page
    // 1252); a name that is no UTF-8 at all cannot be stored in either form.
    for (const char* name : {"a\\b.txt", "a:b.txt", "q?.txt", "dot.", "blank ", "con.txt", "LPT1",
                             "\xe6\x96\x87.", "\xe6\x96\x87?", "COM\xc2\xb9.\xe6\x96\x87", "\xff.txt"}) {
        TempDir fresh;
        MakeFolder(fresh / "src");
        WriteFile(fresh / ("src/" + std::string(name)), "x");
        options.Source = fresh / "src";
        BuildError error = CatchBuildError([&] { BuildSfx(options, env); });
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << name;
        EXPECT_EQ(access(options.Target.c_str(), F_OK), -1) << name;
    }
    WriteFile(Src("console.txt"), "only whole device names are reserved");
    options.Source = dir / "src";
    EXPECT_EQ(BuildAndRead().entries.size(), 1u);
}

}  // namespace
}  // namespace ql::test

namespace ql::test {
namespace {

TEST_F(BuildTest, ParametersAndCustomFolderAreStoredInTheAnsiCodePage) {
    options.CmdParameters = "--name=Jos\xc3\xa9";
    options.CustomFolder = "%TEMP%\\Caf\xc3\xa9";
    std::string block = BuildAndRead().config;
    EXPECT_EQ(block.substr(config::kCmdParameters, 12), std::string("--name=Jos\xe9\0", 12));
    EXPECT_EQ(block.substr(config::kCustomFolder, 13), std::string("%TEMP%\\Caf\xe9\\\0", 13));

    options.CmdParameters = "\xe6\x96\x87";
    unlink(options.Target.c_str());
    CatchBuildError([&] { BuildSfx(options, env); });
    EXPECT_EQ(access(options.Target.c_str(), F_OK), -1);
}

}  // namespace
}  // namespace ql::test
