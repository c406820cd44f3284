// The progress line on a terminal: what it shows, how often, and that it goes.
#include <gtest/gtest.h>

#include <sstream>

#include "builder/cli/terminal_progress.h"

namespace ql::test {
namespace {

TEST(TerminalProgress, RedrawsTenTimesASecondAtMostAndAlwaysAtTheEnd) {
    double now = 100.0;
    std::ostringstream out;
    {
        TerminalProgress line(out, 60, [&] { return now; });
        line.ShowSource("/src/some/folder/file.bin");
        line.ReportProgress(0, 4 << 20, 0, 8 << 20);
        now += 0.05;
        line.ReportProgress(1 << 20, 4 << 20, 0, 8 << 20);  // too soon: not drawn
        now += 0.95;
        line.ReportProgress(2 << 20, 4 << 20, 0, 8 << 20);
        EXPECT_NE(out.str().find("\r 25%  2.00 MB / 8.00 MB  2.0 MB/s  .../some/folder/file.bin\x1b[K"),
                  std::string::npos)
            << out.str();
        line.ShowSource("/src/a/much/longer/path/than/the/line/has/room/for/last.bin");
        now += 0.01;
        line.ReportProgress(4 << 20, 4 << 20, 4 << 20, 8 << 20);  // the end: drawn however soon
        const std::string last = out.str().substr(out.str().rfind('\r'));
        EXPECT_EQ(last, "\r100%  8.00 MB / 8.00 MB  7.9 MB/s  ...has/room/for/last.bin\x1b[K");
        EXPECT_EQ(last.size() - 1 - 3, 59u);  // the line stops short of the last column
    }
    size_t draws = 0;
    for (size_t at = out.str().find('\r'); at != std::string::npos; at = out.str().find('\r', at + 1))
        ++draws;
    EXPECT_EQ(draws, 4u);  // three lines and the clearing at the end
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\x1b[K");
}

TEST(TerminalProgress, ShowsNothingBeforeTheFirstReportAndClearsOnlyWhatItShowed) {
    std::ostringstream out;
    {
        TerminalProgress line(out, 80, [] { return 0.0; });
        line.ShowSource("/src/a.txt");
        line.Clear();
    }
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace ql::test
