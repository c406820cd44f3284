// Reproducible builds: with SOURCE_DATE_EPOCH set, the same tree gives the same
// bytes in any time zone, and the instance identifier follows the content.
#include <utime.h>
#include <zlib.h>

#include <ctime>

#include "platform/dos_time.h"
#include "shared/container.h"
#include "tests/support/build_fixture.h"
#include "tests/support/time_zone.h"

namespace ql::test {
namespace {

constexpr int64_t kEpoch = 1710510331;  // 2024-03-15 13:45:31 UTC

void SetModified(const std::string& path, time_t when) {
    struct utimbuf times {
        when, when
    };
    utime(path.c_str(), &times);
}

class ReproducibleBuild : public BuildTest {
protected:
    ReproducibleBuild() {
        env.showMessages = false;
        env.sourceDateEpoch = kEpoch;
        WriteFile(Src("new.txt"), "written after the release");
        WriteFile(Src("old.txt"), "written before");
        SetModified(Src("old.txt"), 1000000000);  // 2001-09-09 01:46:40 UTC
        MakeFolder(Src("sub"));
        WriteFile(Src("sub/big.bin"), PatternData(kChunkSize + 3, 4));
    }

    std::string BuildInZone(const char* zone) {
        ScopedTimeZone scoped(zone);
        EXPECT_TRUE(BuildSfx(options, env));
        return ReadFile(options.Target);
    }

    static std::string InstanceIdOf(const std::string& sfx) {
        std::string error;
        return ReadSfx(sfx, error).config.substr(config::kInstanceId, config::kInstanceIdSize);
    }
};

TEST_F(ReproducibleBuild, SameBytesInEveryTimeZoneWithTimesClampedAndInUtc) {
    const std::string tokyo = BuildInZone("Asia/Tokyo");
    const std::string newYork = BuildInZone("America/New_York");
    EXPECT_TRUE(tokyo == newYork);
    std::string error;
    ReadContainer c = ReadSfx(tokyo, error);
    ASSERT_EQ(error, "");
    const ReadEntry* added = FindEntry(c, "new.txt");
    const ReadEntry* old = FindEntry(c, "old.txt");
    ASSERT_TRUE(added && old);
    EXPECT_EQ(added->fileTime, platform::DosDateTimeUtc(kEpoch));
    EXPECT_EQ(old->fileTime, platform::DosDateTimeUtc(1000000000));
    // Without it, times are local and the identifier is drawn anew.
    env.sourceDateEpoch.reset();
    const std::string local = BuildInZone("Asia/Tokyo");
    EXPECT_TRUE(local != tokyo);
    c = ReadSfx(local, error);
    ASSERT_EQ(error, "");
    old = FindEntry(c, "old.txt");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->fileTime, platform::DosDateTimeUtc(1000000000 + 9 * 3600));  // Tokyo: UTC+9 all year
}

TEST_F(ReproducibleBuild, TheInstanceIdentifierFollowsTheContent) {
    const std::string first = InstanceIdOf(BuildInZone("UTC"));
    EXPECT_EQ(first.substr(0, 2), "00");
    EXPECT_EQ(first.find_first_not_of("0123456789ABCDEF"), 10u);
    EXPECT_EQ(first[10], '\0');
    EXPECT_NE(first, std::string("0000000000") + '\0');
    WriteFile(Src("old.txt"), "written before!");
    SetModified(Src("old.txt"), 1000000000);
    EXPECT_NE(InstanceIdOf(BuildInZone("UTC")), first);
    options.OneInstance = true;  // the options count too
    EXPECT_NE(InstanceIdOf(BuildInZone("UTC")), first);
}

// A tree that classic entries hold gives the bytes it always gave, helper and
// program entry included: the figures were taken from a build before entries
// could be extended. A change here changes SFX files that exist.
TEST_F(ReproducibleBuild, AClassicTreeGivesTheBytesItAlwaysGave) {
    WriteFile(Src("caf\xc3\xa9.txt"), "latte");
    WriteFile(Src("sub/setup.exe"), "MZ");
    options.SelfDeleteMode = true;
    options.ExtractionMode = kExtractAndRun;
    options.ExecutableFile = Src("sub/setup.exe");
    const std::string sfx = BuildInZone("UTC");
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(sfx.data()), static_cast<uInt>(sfx.size()));
    EXPECT_EQ(sfx.size(), 9480065u);
    EXPECT_EQ(crc, 0xc3d6387bu);
}

TEST(DosDateTimeUtc, CivilDatesAndTheEndsOfTheRange) {
    EXPECT_EQ(platform::DosDateTimeUtc(kEpoch),
              (44u << 25) | (3u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 15u);
    EXPECT_EQ(platform::DosDateTimeUtc(1709251199),  // 2024-02-29 23:59:59, a leap day
              (44u << 25) | (2u << 21) | (29u << 16) | (23u << 11) | (59u << 5) | 29u);
    EXPECT_EQ(platform::DosDateTimeUtc(315532800), platform::kFirstDosTime);  // 1980-01-01
    EXPECT_EQ(platform::DosDateTimeUtc(0), platform::kFirstDosTime);
    EXPECT_EQ(platform::DosDateTimeUtc(-86400), platform::kFirstDosTime);
    EXPECT_EQ(platform::DosDateTimeUtc(4354819200LL), platform::kLastDosTime);  // 2108
}

}  // namespace
}  // namespace ql::test
