// The tokenizer, switches and positional parameters of the builder's command line.
#include <gtest/gtest.h>

#include "builder/cli/cmdline_helper.h"
#include "builder/cli/cmdline_options.h"
#include "platform/posix_setup.h"
#include "platform/process.h"
#include "platform/text.h"

namespace ql {
namespace {

// GBK-like lead bytes, so double-byte characters whose second byte is a
// backslash or a quote can be tested.
bool GbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

CmdLineHelper Windows(const std::string& line) {
    return CmdLineHelper({[line] { return line; }, [] { return std::string("C:\\Tools\\quillon.exe"); },
                          GbkLead, platform::SameTextIgnoringCase, "-/"});
}

std::vector<std::string> Arguments(const std::string& line) {
    CmdLineHelper helper = Windows("prog " + line);
    std::vector<std::string> result;
    for (int i = 1; i <= helper.ArgumentCount(); ++i) result.push_back(helper.ArgumentText(i));
    return result;
}

using Args = std::vector<std::string>;

TEST(Tokenizer, QuotesAndBackslashes) {
    EXPECT_EQ(Arguments("\"C:\\My Folder\""), Args{"C:\\My Folder"});
    EXPECT_EQ(Arguments("C:\\My\" \"Folder"), Args{"C:\\My Folder"});
    EXPECT_EQ(Arguments("a\\\\\"b c\""), Args{"a\\b c"});
    // One backslash escapes the closing quote: quoting stays on to the end.
    EXPECT_EQ(Arguments("\"C:\\Dir\\\" next arg"), Args{"C:\\Dir\" next arg"});
    EXPECT_EQ(Arguments("\"C:\\Dir\\\\\" next"), (Args{"C:\\Dir\\", "next"}));
    EXPECT_EQ(Arguments("\\\\Server\\Share"), Args{"\\\\Server\\Share"});
    EXPECT_EQ(Arguments("\"\"\"\"x"), Args{"x"});  // quote pairs append nothing
    EXPECT_EQ(Arguments("\t a \x01\x1f b  "), (Args{"a", "b"}));
    EXPECT_EQ(Arguments("\"\" next"), (Args{"", "next"}));
    EXPECT_EQ(Arguments("\"tab\tinside\""), Args{"tab\tinside"});
}

TEST(Tokenizer, DoubleByteCharactersAreCopiedWhole) {
    // The second bytes here are a backslash and a quote; neither may act as one.
    EXPECT_EQ(Arguments("C:\\\x95\\\\\x81\"x"), Args{"C:\\\x95\\\\\x81\"x"});
    EXPECT_EQ(Arguments("\"\x95\\\" y"), (Args{"\x95\\", "y"}));  // the quote closes
}

TEST(Tokenizer, ProgramPathAloneHasNoArguments) {
    CmdLineHelper helper = Windows("\"C:\\Program Files\\quillon.exe\"");
    EXPECT_EQ(helper.ArgumentCount(), 0);
    EXPECT_EQ(helper.PositionalCount(), 0);
    EXPECT_EQ(helper.ArgumentText(0), "C:\\Tools\\quillon.exe");
    EXPECT_EQ(helper.PositionalParameter(0), "C:\\Tools\\quillon.exe");
    EXPECT_EQ(helper.ArgumentText(1), "");
    EXPECT_EQ(helper.PositionalParameter(-1), "");
    EXPECT_FALSE(Windows("").HasSwitch("h"));
}

TEST(Switches, PrefixesCaseAndWholeNames) {
    CmdLineHelper helper = Windows("p /MF -Fd --mf -mfx /path");
    EXPECT_TRUE(helper.HasSwitch("mf"));
    EXPECT_TRUE(helper.HasSwitch("fd"));
    EXPECT_FALSE(helper.HasSwitch("mfx2"));
    EXPECT_TRUE(helper.HasSwitch("-mf"));  // "--mf" is the switch named "-mf", not "mf"
    // A path written with a leading slash counts as a switch, not a positional parameter.
    EXPECT_EQ(helper.PositionalCount(), 0);
    EXPECT_TRUE(helper.HasSwitch("path"));
    // An empty argument is a positional parameter: it can stand for an empty value.
    CmdLineHelper empty = Windows("p src \"\" -h");
    EXPECT_EQ(empty.PositionalCount(), 2);
    EXPECT_EQ(empty.PositionalParameter(2), "");
}

CommandLineOptions Read(const std::string& line) {
    return ReadCommandLineOptions(Windows("quillon.exe " + line));
}

TEST(CommandLineOptions, HelpTextExamples) {
    CommandLineOptions first = Read("-me -fd -e C:\\Source C:\\Target.exe");
    EXPECT_EQ(first.build.ExtractionMode, 0);
    EXPECT_EQ(first.build.ExtractionFolder, 1);
    EXPECT_TRUE(first.build.OpenFolder);
    EXPECT_EQ(first.RequiredCount, 2);
    EXPECT_TRUE(first.ParametersComplete);

    CommandLineOptions third = Read(
        "-mf -fp -i -wc C:\\Source C:\\Target.exe C:\\Source\\setup.exe \"\\\"prm 1\\\" \\\"prm 2\\\"\"");
    EXPECT_EQ(third.build.ExecutableFile, "C:\\Source\\setup.exe");
    EXPECT_EQ(third.build.CmdParameters, "\"prm 1\" \"prm 2\"");
    EXPECT_EQ(third.build.ExtractionFolder, 2);
    EXPECT_TRUE(third.build.OneInstance);
    EXPECT_EQ(third.build.WorkingDirectory, 2);
    EXPECT_TRUE(third.ParametersComplete);
}

TEST(CommandLineOptions, DefaultsOfAnEmptyCommandLine) {
    CommandLineOptions o = Read("");
    EXPECT_FALSE(o.ParametersComplete);
    EXPECT_TRUE(o.ShowMessages);
    EXPECT_FALSE(o.OverwriteTarget || o.Headless || o.build.OpenFolder || o.build.SilentMode ||
                 o.build.PortableNames);
    EXPECT_TRUE(o.build.Compression);
    EXPECT_EQ(
        o.build.ExtractionFolder + o.build.DeleteMode + o.build.UACAutoElevation + o.build.OverwriteMode, 0);
}

TEST(CommandLineOptions, FirstSwitchOfEachGroupInTableOrderWins) {
    CommandLineOptions o = Read("-fm -fs -fd -dn -dr -wc -ws -ua -uh -os -oo S T C");
    EXPECT_EQ(o.build.ExtractionFolder, 1);  // -fd beats -fs and -fm: no custom folder parameter
    EXPECT_EQ(o.build.CustomFolder, "");
    EXPECT_EQ(o.RequiredCount, 2);
    EXPECT_EQ(o.build.DeleteMode, 1);
    EXPECT_EQ(o.build.WorkingDirectory, 1);
    EXPECT_EQ(o.build.UACAutoElevation, 1);
    EXPECT_EQ(o.build.OverwriteMode, 1);
    EXPECT_EQ(Read("-fs -fm S T").build.ExtractionFolder, 4);
    CommandLineOptions flags = Read("-o -c -h -s -d -i -e -pn -unknown S T");
    EXPECT_TRUE(flags.OverwriteTarget && flags.Headless && flags.build.SilentMode &&
                flags.build.SelfDeleteMode && flags.build.OneInstance && flags.build.OpenFolder &&
                flags.build.PortableNames);
    EXPECT_FALSE(flags.ShowMessages);
    EXPECT_TRUE(flags.ParametersComplete);
}

TEST(CommandLineOptions, PositionalTableShiftsWithTheSwitches) {
    struct Row {
        const char* switches;
        const char* icon;
        const char* executable;
        const char* folder;
        const char* parameters;
        int required;
    };
    const Row rows[] = {
        {"", "", "", "", "", 2},           {"-ic", "3", "", "", "", 3},
        {"-mf", "", "3", "", "4", 3},      {"-fm", "", "", "3", "", 3},
        {"-ic -mf", "3", "4", "", "5", 4}, {"-ic -fm", "3", "", "4", "", 4},
        {"-mf -fm", "", "3", "4", "5", 4}, {"-ic -mf -fm", "3", "4", "5", "6", 5},
    };
    for (const Row& row : rows) {
        CommandLineOptions o = Read(std::string(row.switches) + " 1 2 3 4 5 6 7");
        EXPECT_EQ(o.build.Source, "1");
        EXPECT_EQ(o.build.Target, "2");
        EXPECT_EQ(o.build.Icon, row.icon) << row.switches;
        EXPECT_EQ(o.build.ExecutableFile, row.executable) << row.switches;
        EXPECT_EQ(o.build.CustomFolder, row.folder) << row.switches;
        EXPECT_EQ(o.build.CmdParameters, row.parameters) << row.switches;
        EXPECT_EQ(o.RequiredCount, row.required) << row.switches;
    }
    EXPECT_FALSE(
        Read("-mf C:\\S C:\\T.exe").ParametersComplete);  // parameters are optional, the program is not
    EXPECT_TRUE(Read("C:\\S C:\\T.exe -mf C:\\S\\a.exe").ParametersComplete);
    EXPECT_EQ(Read("C:\\S C:\\T.exe -mf C:\\S\\a.exe").build.ExecutableFile, "C:\\S\\a.exe");
}

TEST(PosixCommandLine, RebuiltTextReadsBackAsArgv) {
    const char* argv[] = {"quillon", "plain",    "with blank",    "",          "quote\"inside",
                          "trail\\", "dir\\\"x", "back\\\\slash", "tab\there", "-mf"};
    platform::SetArguments(10, const_cast<char**>(argv));
    CmdLineHelper helper({platform::CommandLineText, platform::ModulePath, platform::IsLeadByte,
                          platform::SameTextIgnoringCase, "-"});
    ASSERT_EQ(helper.ArgumentCount(), 9);
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(helper.ArgumentText(i), argv[i]) << i;
    EXPECT_TRUE(helper.HasSwitch("MF"));
    // On Linux only '-' begins a switch: absolute paths are positional parameters.
    const char* paths[] = {"quillon", "/src", "/out.exe"};
    platform::SetArguments(3, const_cast<char**>(paths));
    EXPECT_EQ(helper.PositionalCount(), 2);
    EXPECT_EQ(helper.PositionalParameter(1), "/src");
}

}  // namespace
}  // namespace ql
