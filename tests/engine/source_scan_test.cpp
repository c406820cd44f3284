// What the scan lists and how POSIX metadata becomes stored attributes and times.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "platform/dos_time.h"
#include "tests/support/build_fixture.h"
#include "tests/support/time_zone.h"

namespace ql::test {
namespace {

void SetModified(const std::string& path, time_t when) {
    struct utimbuf times {
        when, when
    };
    utime(path.c_str(), &times);
}

TEST_F(BuildTest, AttributesAndTimesFromPosixMetadata) {
    // The stored local time uses today's UTC offset, as Windows does; a zone
    // without daylight saving keeps the expectation fixed.
    ScopedTimeZone utc("UTC");
    WriteFile(Src("plain.txt"), "p");
    WriteFile(Src(".hidden"), "h");
    WriteFile(Src("locked.txt"), "r");
    chmod(Src("locked.txt").c_str(), 0444);
    MakeFolder(Src("dir"));
    WriteFile(Src("old.txt"), "o");
    SetModified(Src("old.txt"), 86400);  // 1970: before the DOS epoch
    WriteFile(Src("future.txt"), "f");
    SetModified(Src("future.txt"), 4354819200LL);  // 2108: after the DOS range
    WriteFile(Src("dated.txt"), "d");
    struct tm when {};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 15;
    when.tm_hour = 13;
    when.tm_min = 45;
    when.tm_sec = 31;
    when.tm_isdst = -1;
    SetModified(Src("dated.txt"), mktime(&when));

    ReadContainer c = BuildAndRead();
    EXPECT_EQ(FindEntry(c, "plain.txt")->attributes, 0x20u);
    EXPECT_EQ(FindEntry(c, ".hidden")->attributes, 0x22u);
    EXPECT_EQ(FindEntry(c, "locked.txt")->attributes, 0x21u);
    EXPECT_EQ(FindEntry(c, "dir")->attributes, 0x10u);
    EXPECT_EQ(FindEntry(c, "old.txt")->fileTime, platform::kFirstDosTime);
    EXPECT_EQ(FindEntry(c, "future.txt")->fileTime, platform::kLastDosTime);
    // Local time, seconds halved (31 s is stored as 15 two-second steps).
    EXPECT_EQ(FindEntry(c, "dated.txt")->fileTime,
              (44u << 25) | (3u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 15u);
}

TEST_F(BuildTest, LinksAreFollowedButNotRoundInCircles) {
    MakeFolder(Src("real"));
    WriteFile(Src("real/file.txt"), "data");
    ASSERT_EQ(symlink("real", Src("alias").c_str()), 0);
    ASSERT_EQ(symlink("..", Src("real/up").c_str()), 0);  // leads back to the source folder
    ASSERT_EQ(symlink("nowhere", Src("dangling").c_str()), 0);
    ReadContainer c = BuildAndRead();
    std::vector<std::string> names;
    for (const auto& e : c.entries) names.push_back(e.name);
    // alias is a second view of real; real\up is the source itself and is not entered.
    EXPECT_EQ(FindEntry(c, "alias")->attributes, 0x410u);  // a reparse point, as Windows lists it
    EXPECT_EQ(FindEntry(c, "real")->attributes, 0x10u);
    EXPECT_EQ(names, (std::vector<std::string>{"alias", "alias\\file.txt", "alias\\up", "real",
                                               "real\\file.txt", "real\\up"}));
}

TEST_F(BuildTest, HiddenEmptyAndNestedItemsAreAllListed) {
    MakeFolder(Src("a"));
    MakeFolder(Src("a/b"));
    MakeFolder(Src("a/b/c"));
    WriteFile(Src("a/b/c/.deep"), "");
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 4u);
    EXPECT_EQ(c.entries[3].name, "a\\b\\c\\.deep");
    EXPECT_EQ(c.entries[3].size, 0);
}

}  // namespace
}  // namespace ql::test
