// Normalisation and the checks before a build, with their exact messages.
#include <unistd.h>

#include "builder/engine/options_check.h"
#include "tests/support/build_fixture.h"

namespace ql::test {
namespace {

class RecordingSettings : public SettingsStore {
public:
    void SaveSettings(const BuildOptions& options) override { saved.push_back(options); }
    std::vector<BuildOptions> saved;
};

class ValidateTest : public BuildTest {
protected:
    ValidateTest() { env.overwriteTarget = false; }

    // Validates and returns the one message shown (empty when none).
    std::string Message(bool expectedResult) {
        dialogs.shown.clear();
        EXPECT_EQ(ValidateOptions(options, env), expectedResult);
        EXPECT_LE(dialogs.shown.size(), 1u);
        return dialogs.shown.empty() ? "" : dialogs.shown[0].text;
    }
};

TEST(NormaliseOptions, TrimsAndMakesFullPaths) {
    BuildOptions o{.Source = " \t src\x01 ",
                   .Target = " out.exe ",
                   .Icon = " keep as it is ",
                   .ExecutableFile = "",
                   .CmdParameters = "  -a  -b  ",
                   .CustomFolder = " %TEMP%\\x "};
    NormaliseOptions(o);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(o.Source, std::string(cwd) + "/src/");
    EXPECT_EQ(o.Target, std::string(cwd) + "/out.exe");
    EXPECT_EQ(o.ExecutableFile, "");
    EXPECT_EQ(o.CmdParameters, "-a  -b");
    EXPECT_EQ(o.CustomFolder, "%TEMP%\\x\\");
    EXPECT_EQ(o.Icon, " keep as it is ");
}

TEST_F(ValidateTest, EachCheckHasItsMessage) {
    options.Source = dir / "missing";
    EXPECT_EQ(Message(false), "源文件夹不存在\r\n\r\n" + dir / "missing/");

    options.Source = dir / "src";
    options.Icon = dir / "none.ico";
    EXPECT_EQ(Message(false), "The icon file does not exist\r\n\r\n" + dir / "none.ico");
    options.Icon = dir / "src";  // a folder is not an icon file
    EXPECT_EQ(Message(false), "The icon file does not exist\r\n\r\n" + dir / "src");
    options.Icon = "   ";
    EXPECT_EQ(Message(true), "");

    options.ExtractionMode = 1;
    EXPECT_EQ(Message(false), "可执行文件不存在\r\n\r\n");
    MakeFolder(dir / "srcData");
    WriteFile(dir / "srcData/x.exe", "MZ");
    options.ExecutableFile = dir / "srcData/x.exe";  // a sibling sharing the name as prefix
    EXPECT_EQ(Message(false),
              "可执行文件\r\n" + dir / "srcData/x.exe" + "\r\n\r\n不是在源文件夹\r\n" + dir / "src/");
    WriteFile(Src("x.exe"), "MZ");
    options.ExecutableFile = Src("x.exe");
    EXPECT_EQ(Message(true), "");
    options.ExtractionMode = 0;
    options.ExecutableFile = dir / "nowhere.exe";  // not looked at in extract mode
    EXPECT_EQ(Message(true), "");
}

TEST_F(ValidateTest, AsksBeforeReplacingAnExistingTargetUnlessTold) {
    WriteFile(options.Target, "old");
    dialogs.answer = false;
    EXPECT_EQ(Message(false), "该文件己经存在，你要覆盖它吗?");
    EXPECT_FALSE(dialogs.shown[0].yesIsDefault);
    EXPECT_EQ(ReadFile(options.Target), "old");
    dialogs.answer = true;
    EXPECT_EQ(Message(true), "该文件己经存在，你要覆盖它吗?");
    env.overwriteTarget = true;
    EXPECT_EQ(Message(true), "");
}

TEST_F(ValidateTest, SettingsAreSavedNormalisedBeforeTheChecksUnlessTheCommandLineWasComplete) {
    RecordingSettings settings;
    env.settings = &settings;
    env.parametersComplete = false;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    options.Source = "  missing  ";
    EXPECT_FALSE(ValidateOptions(options, env));
    options.Source = " src ";
    EXPECT_TRUE(ValidateOptions(options, env));
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_EQ(settings.saved.size(), 2u);
    EXPECT_EQ(settings.saved[0].Source, dir / "missing/");
    EXPECT_EQ(settings.saved[1].Source, dir / "src/");

    env.parametersComplete = true;
    ValidateOptions(options, env);
    EXPECT_EQ(settings.saved.size(), 2u);
}

}  // namespace
}  // namespace ql::test
