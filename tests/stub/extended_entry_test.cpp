// Extended entries in the stub's container walk: UTF-8 names under the one
// name rule, 64-bit sizes in the sizing pass and the extraction, side by side
// with classic entries.
#include <gtest/gtest.h>

#include "shared/entry_name.h"
#include "stub/container_walk.h"
#include "tests/stub/container_fixture.h"

namespace ql::test {
namespace {

uint32_t Size(const SfxBuilder& sfx, stub::EntryTotals& totals, bool compressed = true) {
    MemoryReader reader(sfx.bytes);
    return stub::SizeEntries(reader, static_cast<uint32_t>(sfx.start), static_cast<int64_t>(sfx.bytes.size()),
                             compressed, totals, nullptr);
}

// Hands nothing over and reports success: the walk then takes a chunk for
// the length its header gives, without the data being there.
uint32_t InflateNothing(const uint8_t*, uint32_t, uint32_t, stub::ChunkOutput, void*) { return 0; }

TEST(ExtendedEntries, ExtractBesideClassicOnesUnderTheirUtf8Names) {
    // 中 is E4 B8 AD: read as code page 936 text the name would end in a lead
    // byte and be refused, so this passes only under the UTF-8 rule.
    const std::string folder = "\xE4\xB8\xAD";
    const std::string file = folder +
                             "\\\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC "
                             "\xF0\x9F\x98\x80.txt";  // Ελληνικά 😀.txt
    const std::string data(10000, 'x');
    for (bool compressed : {true, false}) {
        SfxBuilder sfx(compressed, 4096);
        sfx.ExtendedFile(kHelperEntryName, "MZhelper", kEntryHelper);
        sfx.File("classic.txt", "classic");
        sfx.ExtendedFolder(folder);
        sfx.ExtendedFile(file, data);
        sfx.ExtendedFile("run.exe", "MZ", kEntryProgram);
        sfx.End();
        stub::EntryTotals totals;
        ASSERT_EQ(Size(sfx, totals, compressed), 0u);
        EXPECT_EQ(totals.size, 8 + 7 + 10000 + 2);
        EXPECT_TRUE(totals.hasProgram);

        RecordingSink sink;
        ASSERT_EQ(Extract(sfx.bytes, sfx.start, compressed, sink).code, 0u);
        EXPECT_EQ(sink.order, (std::vector<std::string>{"X:\\tmp\\xsfxdel~.exe", "X:\\out\\classic.txt",
                                                        "X:\\out\\" + file, "X:\\out\\run.exe"}));
        EXPECT_EQ(sink.folders, std::vector<std::string>{"X:\\out\\" + folder});
        EXPECT_EQ(sink.files["X:\\out\\" + file].data, data);
        EXPECT_TRUE(sink.files["X:\\out\\" + file].ended);
        EXPECT_EQ(sink.sizes["X:\\out\\" + file], 10000);
        EXPECT_TRUE(sink.extended["X:\\out\\" + folder]);
        EXPECT_FALSE(sink.extended["X:\\out\\classic.txt"]);
        EXPECT_EQ(sink.attributes["X:\\out\\" + folder], kAttrDirectory);
        EXPECT_EQ(sink.progress, 8 + 7 + 10000 + 2);
    }
}

TEST(ExtendedEntries, SizesOfTwoGibibytesAndMoreAddUpInBothPasses) {
    const uint64_t big = (uint64_t{5} << 30) + 7;
    SfxBuilder sfx;
    sfx.File("empty.txt", "");
    sfx.ClaimedFile("big.bin", big, {0xFFFFFFFFu, static_cast<uint32_t>(big - 0xFFFFFFFFu)});
    sfx.ClaimedFile("next.bin", 3u << 30, {1u << 30, 1u << 30, 1u << 30});
    sfx.End();
    stub::EntryTotals totals;
    ASSERT_EQ(Size(sfx, totals), 0u);
    EXPECT_EQ(totals.size, static_cast<int64_t>(big + (3u << 30)));

    RecordingSink sink;
    ASSERT_EQ(Extract(sfx.bytes, sfx.start, true, sink, nullptr, InflateNothing).code, 0u);
    EXPECT_EQ(sink.sizes["X:\\out\\big.bin"], static_cast<int64_t>(big));
    EXPECT_TRUE(sink.files["X:\\out\\big.bin"].ended);
    EXPECT_TRUE(sink.files["X:\\out\\next.bin"].ended);
    EXPECT_EQ(sink.progress, static_cast<int64_t>(big + (3u << 30)));

    // A chunk may not hold more than is left of its file, however large the file.
    SfxBuilder over;
    over.ClaimedFile("big.bin", big, {0xFFFFFFFFu, static_cast<uint32_t>(big - 0xFFFFFFFFu) + 1});
    over.End();
    RecordingSink overSink;
    EXPECT_EQ(Extract(over.bytes, over.start, true, overSink, nullptr, InflateNothing).code,
              kErrorInvalidData);
}

TEST(ExtendedEntries, RefuseHeadersTheWalkCannotTrust) {
    struct Case {
        const char* what;
        bool folder;
        size_t offset;  // in the header and the Size64 behind it
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"a classic Size beside Size64", false, 5, {5, 0, 0, 0}},
        {"Size64 of 2^63", false, 17, {0, 0, 0, 0, 0, 0, 0, 0x80}},
        {"Size64 of 2^64 - 1", false, 17, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"a folder with data", true, 17, {1}},
        {"an unknown kind", false, 0, {0x83}},
        {"another type bit", false, 0, {0xC0}},
        {"the helper as a folder", true, 0, {0x82}},
    };
    for (const Case& c : cases) {
        SfxBuilder sfx;
        sfx.File("first.txt", "first");
        const EntryLayout at =
            c.folder ? sfx.ExtendedFolder(kHelperEntryName) : sfx.ExtendedFile("a.txt", "hello");
        sfx.File("later.txt", "later");
        sfx.End();
        std::copy(c.bytes.begin(), c.bytes.end(),
                  sfx.bytes.begin() + static_cast<std::ptrdiff_t>(at.header + c.offset));
        stub::EntryTotals totals;
        EXPECT_EQ(Size(sfx, totals), kErrorInvalidData) << c.what;
        RecordingSink sink;
        EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, kErrorInvalidData) << c.what;
        EXPECT_EQ(sink.order, std::vector<std::string>{"X:\\out\\first.txt"}) << c.what;
        EXPECT_TRUE(sink.folders.empty()) << c.what;
    }
    // Raw data the file cannot hold: refused, not added up past the largest size.
    SfxBuilder raw(false);
    const EntryLayout at = raw.ExtendedFile("a.txt", "hello");
    raw.End();
    WriteLE64(&raw.bytes[at.header + kEntryHeaderSize], INT64_MAX);
    stub::EntryTotals totals;
    EXPECT_EQ(Size(raw, totals, false), kErrorInvalidData);
}

// Names that are no UTF-8 as the system converts it, or that break the one
// name rule as UTF-8; refused before anything of them is created.
TEST(ExtendedEntries, RefuseNamesThatAreNoWellFormedUtf8OrUnsafe) {
    const std::string refused[] = {
        "\x80.txt",
        "a\xC3",
        "a\xC3.txt",
        "\xC0\x80x",
        "\xC1\xBF",
        "\xE0\x80\xAF",
        "\xE0\x9F\xBF",
        "\xE4\xB8",
        "\xF0\x8F\xBF\xBF",
        "\xED\xA0\x80",
        "\xED\xBF\xBF",
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFE",
        "\xFF",
        "\x83\x5C",  // the last one: code page 936 text
        // The rule itself, with the superscript digits as UTF-8.
        "..\\x.txt",
        "a/b",
        "blank ",
        std::string("a\0b", 3),
        "nul .txt",
        "COM\xC2\xB9",
        "lpt\xC2\xB2.txt",
        "com\xC2\xB3 .log",
    };
    for (const std::string& name : refused) ExpectNameRefused(name, true);
    // The edges of what UTF-8 holds: U+D7FF, U+E000, U+FFFD, U+10FFFF; and an
    // acute accent is no superscript digit.
    for (const char* name : {"\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF",
                             "COM\xC2\xB4", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xF0\x90\x80\x80"})
        EXPECT_TRUE(IsSafeUtf8EntryName(name, std::strlen(name))) << name;
}

TEST(ExtendedEntries, TheHelperCarriesOnlyTheHelpersName) {
    for (const char* name :
         {"XSFXDEL~.EXE", "\xEF\xBD\x98sfxdel~.exe", "xsfxdel~.exe\\x"}) {  // the second: a full-width x
        SfxBuilder sfx;
        sfx.ExtendedFile(name, "MZ", kEntryHelper);
        sfx.File("later.txt", "later");
        sfx.End();
        RecordingSink sink;
        EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, kErrorInvalidData) << name;
        EXPECT_TRUE(sink.order.empty()) << name;
    }
}

}  // namespace
}  // namespace ql::test
