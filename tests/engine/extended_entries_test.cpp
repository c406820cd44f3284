// Which entries are extended: a name the code page cannot hold (and all below
// a folder of such a name), a file of 2 GiB or more, every entry with portable
// names; everything else stays the classic entry.
#include <unistd.h>

#include "tests/support/build_fixture.h"
#include "tests/support/scripted_progress.h"

namespace ql::test {
namespace {

constexpr uint8_t kExtended = 0x80;

TEST_F(BuildTest, NamesTheCodePageCannotHoldAreStoredAsUtf8AndOnlyThey) {
    WriteFile(Src("caf\xc3\xa9.txt"), "latte");
    MakeFolder(Src("\xe6\x96\x87"));  // 文, not in code page 1252
    WriteFile(Src("\xe6\x96\x87/inner.txt"), "below a UTF-8 folder");
    MakeFolder(Src("ok"));
    WriteFile(Src("ok/\xce\xa9.txt"), "omega");  // Ω
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 5u);
    auto expect = [&](size_t i, const std::string& name, uint8_t type, const std::string& data) {
        SCOPED_TRACE(name);
        EXPECT_EQ(c.entries[i].name, name);
        EXPECT_EQ(c.entries[i].type, type);
        EXPECT_EQ(c.entries[i].data, data);
        EXPECT_EQ(c.entries[i].size, static_cast<int64_t>(data.size()));
    };
    expect(0, "caf\xe9.txt", 0, "latte");
    expect(1, "ok", 0, "");
    expect(2, "ok\\\xce\xa9.txt", kExtended, "omega");
    expect(3, "\xe6\x96\x87", kExtended, "");
    expect(4, "\xe6\x96\x87\\inner.txt", kExtended, "below a UTF-8 folder");
    // The classic entry's header is unchanged: its name follows the 17 bytes.
    const std::string sfx = ReadFile(options.Target);
    EXPECT_EQ(sfx.substr(c.entries[0].offset + kEntryHeaderSize, 8), "caf\xe9.txt");
    EXPECT_EQ(sfx.substr(c.entries[2].offset + 5, 4), std::string(4, '\0'));  // the classic size is 0
}

TEST_F(BuildTest, PortableNamesMakeEveryEntryExtendedTheHelperAndTheProgramToo) {
    WriteFile(Src("caf\xc3\xa9.exe"), "MZ");
    MakeFolder(Src("sub"));
    options.PortableNames = true;
    options.SelfDeleteMode = true;
    options.ExtractionMode = kExtractAndRun;
    options.ExecutableFile = Src("caf\xc3\xa9.exe");
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 3u);
    EXPECT_EQ(c.entries[0].type, kEntryHelper | kExtended);
    EXPECT_EQ(c.entries[0].name, kHelperEntryName);
    EXPECT_EQ(c.entries[0].data, helper);
    EXPECT_EQ(c.entries[1].type, kEntryProgram | kExtended);
    EXPECT_EQ(c.entries[1].name, "caf\xc3\xa9.exe");
    EXPECT_EQ(c.entries[2].type, kExtended);
}

// A sparse file: packing it costs time, not disk space.
TEST_F(BuildTest, AFileOfTwoGibibytesIsExtendedWithItsSizeAndCountedInFull) {
    constexpr int64_t kSize = 0x80000000LL;
    WriteFile(Src("a.txt"), "small");
    WriteFile(Src("huge.bin"), "");
    ASSERT_EQ(truncate(Src("huge.bin").c_str(), kSize), 0);
    ScriptedProgress progress;
    env.progress = &progress;
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 2u);
    EXPECT_EQ(c.entries[0].type, 0);
    EXPECT_EQ(c.entries[1].type, kExtended);
    EXPECT_EQ(c.entries[1].name, "huge.bin");
    EXPECT_EQ(c.entries[1].size, kSize);
    EXPECT_EQ(c.entries[1].chunkLengths.size(), (kSize + kChunkSize - 1) / kChunkSize);
    const std::string total = std::to_string(kSize + 5);
    EXPECT_EQ(progress.events.back(), "report 2147483648/2147483648 5/" + total);
}

}  // namespace
}  // namespace ql::test
