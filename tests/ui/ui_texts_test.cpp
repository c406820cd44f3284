// The desktop builder's arithmetic and texts: progress bars and the
// processed-bytes line, the error box's full stop, version texts and the
// file dialogs' filter rules.
#include <gtest/gtest.h>

#include "builder/resources/texts.h"
#include "builder/ui/dialog_kit.h"
#include "builder/ui/file_dialog_rules.h"
#include "builder/ui/progress_figures.h"

namespace ql::ui {
namespace {

TEST(ProgressFigures, BarsAndTheProcessedBytesLine) {
    ProgressFigures f = ComputeProgress(1, 3, 0, 3, ".");
    EXPECT_EQ(f.totalBar, 333);
    EXPECT_EQ(f.sizeLine, "1 B / 3 B   (33%)");

    // The first report, before the scan: the file bar full, the total bar
    // empty and the line left alone; so for every file of an empty tree.
    f = ComputeProgress(0, 0, 0, 0, ".");
    EXPECT_EQ(f.fileBar, 1000);
    EXPECT_EQ(f.totalBar, 0);
    EXPECT_FALSE(f.sizeLine);

    // A file of 2.5 chunks: the bar moves by the bytes before each chunk and
    // is full only at the end of the file.
    const int32_t chunk = 0x900000, size = chunk * 5 / 2;
    EXPECT_EQ(ComputeProgress(0, size, 0, size, ".").fileBar, 0);
    EXPECT_EQ(ComputeProgress(chunk, size, 0, size, ".").fileBar, 400);
    EXPECT_EQ(ComputeProgress(2 * chunk, size, 0, size, ".").fileBar, 800);
    EXPECT_EQ(ComputeProgress(size, size, 0, size, ".").fileBar, 1000);

    // The file bar rounds half to even, the total bar and percentage truncate.
    EXPECT_EQ(ComputeProgress(1, 2000, 0, 2000, ".").fileBar, 0);
    EXPECT_EQ(ComputeProgress(3, 2000, 0, 2000, ".").fileBar, 2);
    f = ComputeProgress(1535, 2048, int64_t{3} << 30, (int64_t{3} << 30) + 2048, ",");
    EXPECT_EQ(f.totalBar, 999);
    EXPECT_EQ(f.sizeLine, "3,000 GB / 3,000 GB   (99%)");
}

TEST(DialogTexts, ErrorBoxFullStopAndVersions) {
    EXPECT_EQ(ApplicationErrorText("I/O 错误 5"), "I/O 错误 5.");
    EXPECT_EQ(ApplicationErrorText("磁盘已满"), "磁盘已满.");  // ends in a double-byte character
    EXPECT_EQ(ApplicationErrorText("done."), "done.");
    EXPECT_EQ(ApplicationErrorText("(code 5)"), "(code 5)");
    EXPECT_EQ(ApplicationErrorText(""), "");

    EXPECT_EQ(FormatFileVersion(0x0003000A, 0x00000007), "3.10.0.7");
    EXPECT_EQ(ShortVersionText("3.10.0.7"), "3.10");
    EXPECT_EQ(ShortVersionText("10.20.30.40"), "10.20");
    EXPECT_EQ(ShortVersionText("5.1"), "5.1");
    EXPECT_EQ(ShortVersionText("5"), "5");
    EXPECT_EQ(ShortVersionText(""), "");
}

TEST(FileDialogRules, FilterFollowsTheExtensionAndNamesGetTheFiltersOne) {
    EXPECT_EQ(SplitFilter(Tr(TextId::ExecutableFilter)).size(), 8u);
    EXPECT_EQ(FilterIndexFor(Tr(TextId::IconFilter), "C:\\Icons\\APP.ICO", 2), 1);
    EXPECT_EQ(FilterIndexFor(Tr(TextId::IconFilter), "C:\\lib\\x.dll", 1), 2);
    EXPECT_EQ(FilterIndexFor(Tr(TextId::ExecutableFilter), "notes.txt", 1), 8);
    EXPECT_EQ(FilterIndexFor(Tr(TextId::ExecutableFilter), "run.CMD", 1), 3);
    EXPECT_EQ(FilterIndexFor(Tr(TextId::ExecutableFilter), "C:\\dir.d\\noextension", 5), 5);

    EXPECT_EQ(WithFilterExtension(Tr(TextId::IconFilter), 1, "C:\\app"), "C:\\app.ico");
    EXPECT_EQ(WithFilterExtension(Tr(TextId::ExecutableFilter), 2, "go"), "go.bat");
    EXPECT_EQ(WithFilterExtension(Tr(TextId::ExecutableFilter), 8, "go"), "go");
    EXPECT_EQ(WithFilterExtension(Tr(TextId::IconFilter), 1, "x.exe"), "x.exe");
}

}  // namespace
}  // namespace ql::ui
