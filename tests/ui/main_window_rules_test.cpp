// The main window's enabling rules and initial values, run against a panel
// of recorded control states, as a state machine of the user's clicks.
#include <gtest/gtest.h>

#include "builder/ui/main_window_rules.h"
#include "tests/ui/fake_panel.h"

namespace ql::ui {
namespace {

FakePanel Shown(const Settings& settings) {
    FakePanel panel;
    ShowInitialState(panel);
    ShowSettings(panel, settings);
    RunShowRules(panel);
    return panel;
}

TEST(MainWindowRules, FirstStartShowsTheInitialState) {
    FakePanel panel = Shown(Settings());
    EXPECT_TRUE(panel.IsEnabled(kCbOpenFolder));
    for (int id : {kEExecutableFile, kBExecutableFile, kECmdParameters, kRbWdSource, kRbDmImmediately,
                   kRbDmOnReboot, kRbUacAdministrator, kEIcon, kBIcon, kECustomDir, kLCustom, kBEnvVars})
        EXPECT_FALSE(panel.IsEnabled(id)) << id;
    EXPECT_EQ(panel.focus, kNoControl);

    const BuildOptions o = ReadOptions(panel);
    EXPECT_TRUE(o.OpenFolder);
    EXPECT_EQ(o.ExtractionMode + o.ExtractionFolder + o.WorkingDirectory + o.DeleteMode + o.UACAutoElevation +
                  o.OverwriteMode,
              0);
    EXPECT_EQ(o.Icon, "");
}

TEST(MainWindowRules, DeleteAtRestartNeedsAdministratorElevation) {
    Settings saved;
    saved[&BuildOptions::ExtractionMode] = 1;
    saved[&BuildOptions::UACAutoElevation] = 2;
    saved[&BuildOptions::DeleteMode] = 1;
    FakePanel panel = Shown(saved);
    for (int id : {kEExecutableFile, kBExecutableFile, kRbDmImmediately, kRbDmOnReboot, kRbDmDoNotDelete})
        EXPECT_TRUE(panel.IsEnabled(id)) << id;
    EXPECT_FALSE(panel.IsEnabled(kCbOpenFolder));

    // Choosing no elevation withdraws the choice and falls back to immediate deletion.
    panel.Click(kElevationRadios, kRbUacNone);
    EXPECT_FALSE(panel.IsEnabled(kRbDmOnReboot));
    EXPECT_EQ(SelectedRadio(panel, kDeleteModeRadios), 0);
    panel.Click(kElevationRadios, kRbUacAdministrator);
    EXPECT_TRUE(panel.IsEnabled(kRbDmOnReboot));

    // Back to extract-only: the run-mode choices are disabled but kept, and
    // still read out, so the elevation still reaches the build.
    panel.Click(kDeleteModeRadios, kRbDmOnReboot);
    panel.Click(kModeRadios, kRbOpenFolder);
    EXPECT_FALSE(panel.IsEnabled(kRbDmOnReboot));
    EXPECT_FALSE(panel.IsEnabled(kRbUacAdministrator));
    EXPECT_TRUE(panel.IsEnabled(kCbOpenFolder));
    const BuildOptions o = ReadOptions(panel);
    EXPECT_EQ(o.UACAutoElevation, 2);
    EXPECT_EQ(o.DeleteMode, 1);
    EXPECT_EQ(o.ExtractionMode, 0);
}

TEST(MainWindowRules, OnlyAClickMovesTheFocus) {
    Settings saved;
    saved[&BuildOptions::ExtractionFolder] = 5;
    saved[&BuildOptions::Icon] = "C:\\a.ico";
    FakePanel panel = Shown(saved);
    EXPECT_TRUE(panel.IsEnabled(kECustomDir));
    EXPECT_TRUE(panel.IsEnabled(kEIcon));
    EXPECT_EQ(panel.focus, kNoControl);

    panel.Click(kFolderRadios, kRbDesktop);
    EXPECT_FALSE(panel.IsEnabled(kECustomDir));
    EXPECT_FALSE(panel.IsEnabled(kBEnvVars));
    panel.Click(kFolderRadios, kRbCustom);
    EXPECT_EQ(panel.focus, kECustomDir);
    panel.Click(kIconRadios, kRbIconDefault);
    EXPECT_FALSE(panel.IsEnabled(kEIcon));
    EXPECT_EQ(panel.focus, kECustomDir);
    panel.Click(kIconRadios, kRbIconCustom);
    EXPECT_EQ(panel.focus, kEIcon);
}

TEST(MainWindowRules, StoredValuesOutOfRangeSelectTheFirstChoice) {
    Settings saved;
    saved[&BuildOptions::ExtractionFolder] = 9;
    saved[&BuildOptions::ExtractionMode] = 2;
    saved[&BuildOptions::OverwriteMode] = 0xFFFFFFFF;
    saved[&BuildOptions::Icon] = "   ";
    saved[&BuildOptions::OpenFolder] = false;
    const BuildOptions o = ReadOptions(Shown(saved));
    EXPECT_EQ(o.ExtractionFolder, 0);
    EXPECT_EQ(o.ExtractionMode, 0);
    EXPECT_EQ(o.OverwriteMode, 0);
    EXPECT_FALSE(o.OpenFolder);
    FakePanel panel = Shown(saved);
    EXPECT_EQ(panel.Text(kEIcon), "");  // a blank icon is shown empty, with the default icon
    EXPECT_TRUE(panel.IsChecked(kRbIconDefault));
}

TEST(MainWindowRules, CommandLineOptionsReadBackUnchanged) {
    BuildOptions given;
    given.Source = "C:\\Src";
    given.Target = " C:\\Out.exe";
    given.Icon = "C:\\i.ico";
    given.ExecutableFile = "C:\\Src\\a.exe";
    given.CmdParameters = "/S \"x y\"";
    given.CustomFolder = "%TEMP%\\x";
    given.ExtractionMode = 1;
    given.ExtractionFolder = 5;
    given.WorkingDirectory = 2;
    given.DeleteMode = 1;
    given.UACAutoElevation = 2;
    given.OverwriteMode = 1;
    given.OneInstance = given.SilentMode = given.SelfDeleteMode = given.PortableNames = true;
    FakePanel panel;
    ShowInitialState(panel);
    ShowOptions(panel, given);
    RunShowRules(panel);
    const BuildOptions read = ReadOptions(panel);
    EXPECT_EQ(std::tie(read.Source, read.Target, read.Icon, read.ExecutableFile, read.CmdParameters,
                       read.CustomFolder),
              std::tie(given.Source, given.Target, given.Icon, given.ExecutableFile, given.CmdParameters,
                       given.CustomFolder));
    EXPECT_EQ(std::tie(read.ExtractionMode, read.ExtractionFolder, read.WorkingDirectory, read.DeleteMode,
                       read.UACAutoElevation, read.OverwriteMode, read.OpenFolder, read.OneInstance,
                       read.SilentMode, read.SelfDeleteMode),
              std::tie(given.ExtractionMode, given.ExtractionFolder, given.WorkingDirectory, given.DeleteMode,
                       given.UACAutoElevation, given.OverwriteMode, given.OpenFolder, given.OneInstance,
                       given.SilentMode, given.SelfDeleteMode));
    // The window has no control for portable names: a build it starts takes them from the command line.
    BuildOptions built = read;
    EXPECT_FALSE(built.PortableNames);
    TakeCommandLineOnly(given, built);
    EXPECT_TRUE(built.PortableNames);
}

}  // namespace
}  // namespace ql::ui
