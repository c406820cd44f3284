// The generated command line: the lines of the builder's own examples, and
// the round trip through the builder's command-line reading for many window
// states with awkward texts.
#include <gtest/gtest.h>

#include <random>

#include "builder/cli/cmdline_helper.h"
#include "builder/cli/cmdline_options.h"
#include "builder/engine/options_check.h"
#include "builder/ui/cmdline_generator.h"
#include "builder/ui/environment_rows.h"
#include "platform/text.h"
#include "tests/support/cp936.h"
#include "tests/ui/fake_panel.h"

namespace ql::ui {
namespace {

constexpr char kBuilder[] = "C:\\Tools\\quillon.exe";

std::string Line(FakePanel& panel, const std::string& builder = kBuilder) {
    RunShowRules(panel);
    return GenerateCommandLine(panel, builder, test::Cp936LeadByte);
}

TEST(CommandLineGenerator, WritesTheChosenSwitchesAndTheValues) {
    FakePanel panel;
    ShowInitialState(panel);
    panel.SetText(kESource, "C:\\My Files");
    panel.SetText(kETarget, "C:\\Out\\setup.exe");
    EXPECT_EQ(Line(panel), "C:\\Tools\\quillon.exe -me -ft -e -op \"C:\\My Files\" C:\\Out\\setup.exe");
    EXPECT_EQ(Line(panel, "C:\\Program Files\\Q\\quillon.exe"),
              "\"C:\\Program Files\\Q\\quillon.exe\" -me -ft -e -op \"C:\\My Files\" C:\\Out\\setup.exe");

    // A custom icon with an empty field gives neither -ic nor a value; an
    // empty parameters field gives no value.
    SelectRadio(panel, kIconRadios, 1);
    SelectRadio(panel, kModeRadios, 1);
    panel.SetText(kEExecutableFile, "C:\\My Files\\run.exe");
    EXPECT_EQ(Line(panel),
              "C:\\Tools\\quillon.exe -mf -ft -we -di -un -op \"C:\\My Files\" C:\\Out\\setup.exe "
              "\"C:\\My Files\\run.exe\"");

    // Parameters that begin with "/" and hold quotes; a folder that ends in a
    // backslash inside quotes.
    panel.SetText(kECmdParameters, "/S \"x y\"");
    panel.SetText(kESource, "C:\\My Files\\");
    EXPECT_EQ(Line(panel),
              "C:\\Tools\\quillon.exe -mf -ft -we -di -un -op \"C:\\My Files\\\\\" C:\\Out\\setup.exe "
              "\"C:\\My Files\\run.exe\" \" /S \\\"x y\\\"\"");
}

TEST(CommandLineGenerator, EmptyValuesKeepTheirPlaceBeforeLaterOnes) {
    FakePanel panel;
    ShowInitialState(panel);
    SelectRadio(panel, kModeRadios, 1);
    SelectRadio(panel, kFolderRadios, 5);
    panel.SetText(kESource, "S");
    panel.SetText(kETarget, "T");
    panel.SetText(kECustomDir, "%TEMP%\\x");
    EXPECT_EQ(Line(panel), "C:\\Tools\\quillon.exe -mf -fm -we -di -un -op S T \"\" %TEMP%\\x");
}

// What the window passes and what the line gives must build the same SFX
// file; the builder normalises options before it uses them, and takes the
// icon without surrounding blanks.
BuildOptions Comparable(BuildOptions o) {
    NormaliseOptions(o);
    o.Icon = platform::TrimText(o.Icon);
    return o;
}

TEST(CommandLineGenerator, TheLineReadsBackAsTheWindowsOptions) {
    const std::vector<std::string> texts = {
        "",
        "   ",
        "plain",
        "with blank",
        "C:\\My Files\\",
        "trail\\\\",
        "quote\"inside",
        "\"quoted\"",
        "tab\there",
        "/S \"x y\"",
        "-dash",
        "--mf",
        "/h",
        "-o",
        "\\\\server\\share\\",
        "a\\\"b",
        "a\\\\\"b c",
        "\x95\x5C",
        "\x95\x5C\"q\" \x95\x7C",
        " lead and trail blanks ",
        "\x95\x5C\x95\x5C end\\",
        "\x01odd\x1f",
    };
    std::mt19937 random(12345);
    auto pick = [&](size_t n) { return static_cast<uint32_t>(random() % n); };
    for (int round = 0; round < 3000; ++round) {
        FakePanel panel;
        ShowInitialState(panel);
        for (int id : {kESource, kETarget, kEIcon, kEExecutableFile, kECmdParameters, kECustomDir})
            panel.SetText(id, texts[pick(texts.size())]);
        for (std::span<const int> group :
             {std::span<const int>(kIconRadios), std::span<const int>(kModeRadios),
              std::span<const int>(kFolderRadios), std::span<const int>(kWorkingDirRadios),
              std::span<const int>(kDeleteModeRadios), std::span<const int>(kElevationRadios),
              std::span<const int>(kOverwriteRadios)})
            SelectRadio(panel, group, pick(group.size()));
        for (int id : {kCbOpenFolder, kCbOneInstance, kCbSilent, kCbSelfDelete})
            panel.SetChecked(id, pick(2));
        const std::string line = Line(panel);
        SCOPED_TRACE(line);

        CmdLineHelper helper({[&line] { return line; }, [] { return std::string(kBuilder); },
                              test::Cp936LeadByte,
                              [](const std::string& a, const std::string& b) { return a == b; }, "-/"});
        const CommandLineOptions read = ReadCommandLineOptions(helper);
        EXPECT_FALSE(read.Headless || read.OverwriteTarget || !read.ShowMessages);
        EXPECT_EQ(helper.ArgumentText(0), kBuilder);

        BuildOptions window = Comparable(ReadOptions(panel)), parsed = Comparable(read.build);
        // The line leaves out what disabled controls hold; the window passes it on.
        if (window.ExtractionMode == 0) {
            window.WorkingDirectory = window.DeleteMode = window.UACAutoElevation = 0;
            window.ExecutableFile = parsed.ExecutableFile;
            window.CmdParameters = parsed.CmdParameters;
        } else {
            window.OpenFolder = false;
        }
        if (window.ExtractionFolder != 5) window.CustomFolder = parsed.CustomFolder;
        EXPECT_EQ(std::tie(parsed.Source, parsed.Target, parsed.Icon, parsed.ExecutableFile,
                           parsed.CmdParameters, parsed.CustomFolder),
                  std::tie(window.Source, window.Target, window.Icon, window.ExecutableFile,
                           window.CmdParameters, window.CustomFolder));
        EXPECT_EQ(std::tie(parsed.ExtractionMode, parsed.ExtractionFolder, parsed.WorkingDirectory,
                           parsed.DeleteMode, parsed.UACAutoElevation, parsed.OverwriteMode,
                           parsed.OpenFolder, parsed.OneInstance, parsed.SilentMode, parsed.SelfDeleteMode),
                  std::tie(window.ExtractionMode, window.ExtractionFolder, window.WorkingDirectory,
                           window.DeleteMode, window.UACAutoElevation, window.OverwriteMode,
                           window.OpenFolder, window.OneInstance, window.SilentMode, window.SelfDeleteMode));
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(EnvironmentRows, KeysInPercentSignsInTheBlocksOrder) {
    const std::vector<EnvironmentRow> rows =
        EnvironmentRows({"PATH=C:\\Windows", "=C:=C:\\x", "", "A=b=c", "bare"});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].key + "|" + rows[0].value, "%PATH%|C:\\Windows");
    EXPECT_EQ(rows[1].key + "|" + rows[1].value, "%%|C:=C:\\x");
    EXPECT_EQ(rows[2].key + "|" + rows[2].value, "%A%|b=c");
    EXPECT_EQ(rows[3].key + "|" + rows[3].value, "%bare%|");
}

}  // namespace
}  // namespace ql::ui
