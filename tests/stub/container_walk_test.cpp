// The stub's container walk on crafted files: locating the container, the
// sizing pass and the extraction, including every damaged form it must refuse
// with its own code instead of crashing or writing wrong data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "stub/container_walk.h"
#include "tests/stub/container_fixture.h"

namespace ql::test {
namespace {

using stub::Subject;

uint32_t Locate(const std::vector<uint8_t>& bytes, uint32_t& start) {
    MemoryReader reader(bytes);
    return stub::LocateContainer(reader, static_cast<int64_t>(bytes.size()), start);
}

uint32_t Size(const SfxBuilder& sfx, stub::EntryTotals& totals, bool compressed = true) {
    MemoryReader reader(sfx.bytes);
    return stub::SizeEntries(reader, static_cast<uint32_t>(sfx.start), static_cast<int64_t>(sfx.bytes.size()),
                             compressed, totals, nullptr);
}

uint32_t Size(const SfxBuilder& sfx, int64_t& total, bool compressed = true) {
    stub::EntryTotals totals;
    const uint32_t error = Size(sfx, totals, compressed);
    total = totals.size;
    return error;
}

std::string Pattern(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

TEST(LocateContainer, TakesTheLargestSectionEndFromTheSectionTable) {
    SfxBuilder sfx;
    sfx.File("a.txt", "abc");
    sfx.End();
    uint32_t start = 0;
    EXPECT_EQ(Locate(sfx.bytes, start), 0u);
    EXPECT_EQ(start, 0x600u);
}

TEST(LocateContainer, WithoutRoomForAConfigBlockThereIsNoContainer) {
    const std::string image = MiniPeImage();
    std::vector<uint8_t> bytes(image.begin(), image.end());
    uint32_t start = 1;
    EXPECT_EQ(Locate(bytes, start), kErrorHandleEof);  // a bare stub
    EXPECT_EQ(start, 0u);
    bytes.resize(0x600 + config::kSize);
    EXPECT_EQ(Locate(bytes, start), kErrorHandleEof);  // exactly a ConfigBlock behind it
    bytes.push_back(0);
    EXPECT_EQ(Locate(bytes, start), 0u);
}

TEST(LocateContainer, RefusesFilesThatAreNoPeImage) {
    std::vector<uint8_t> bytes(0x2000, 0);
    uint32_t start = 0;
    EXPECT_EQ(Locate(bytes, start), kErrorHandleEof);  // no signature at all
    std::vector<uint8_t> tiny = {'M', 'Z'};
    EXPECT_EQ(Locate(tiny, start), kErrorHandleEof);  // ends inside its headers

    // Headers that name no section with raw data.
    std::string image = MiniPeImage();
    for (int i = 0; i < 3; ++i) WriteLE32(reinterpret_cast<uint8_t*>(&image[0x178 + 40 * i + 16]), 0);
    std::vector<uint8_t> empty(image.begin(), image.end());
    empty.resize(0x4000);
    EXPECT_EQ(Locate(empty, start), kErrorHandleEof);
}

TEST(LocateContainer, AFileWithoutMzHeaderIsReadFromOffsetTwo) {
    std::vector<uint8_t> bytes(0x1000, 0);
    std::memcpy(&bytes[2], "PE\0\0", 4);
    WriteLE16(&bytes[8], 1);  // one section
    WriteLE32(&bytes[6 + 20 + 16], 0x100);
    WriteLE32(&bytes[6 + 20 + 20], 0x300);
    uint32_t start = 0;
    EXPECT_EQ(Locate(bytes, start), 0u);
    EXPECT_EQ(start, 0x400u);
}

TEST(LocateContainer, PassesReadErrorsOn) {
    SfxBuilder sfx;
    sfx.End();
    MemoryReader reader(sfx.bytes);
    reader.failAtRead = 1;
    reader.failCode = 30;  // the device cannot be read
    uint32_t start = 0;
    EXPECT_EQ(stub::LocateContainer(reader, static_cast<int64_t>(sfx.bytes.size()), start), 30u);
}

TEST(SizeEntries, SumsTheSizesOfAllEntries) {
    for (bool compressed : {true, false}) {
        SfxBuilder sfx(compressed, 1000);
        sfx.Folder("d");
        sfx.File("d\\a.bin", Pattern(2500, 1));  // three chunks when packed
        sfx.File("e.txt", "");
        sfx.File("f.txt", "hello");
        sfx.End();
        int64_t total = -1;
        EXPECT_EQ(Size(sfx, total, compressed), 0u);
        EXPECT_EQ(total, 2505);
    }
}

TEST(SizeEntries, RefusesContainersWithoutData) {
    SfxBuilder sfx;
    int64_t total = 0;
    sfx.End();
    EXPECT_EQ(Size(sfx, total), kErrorInvalidData);  // no entries at all

    SfxBuilder empty;
    empty.Folder("d");
    empty.File("d\\empty.txt", "");
    empty.End();
    EXPECT_EQ(Size(empty, total), kErrorInvalidData);
}

TEST(SizeEntries, RefusesAContainerCutShort) {
    SfxBuilder sfx(true, 100);
    sfx.File("a.bin", Pattern(1000, 2));
    sfx.File("b.bin", Pattern(300, 3));
    sfx.End();
    const std::vector<uint8_t> whole = sfx.bytes;
    int64_t total = 0;
    sfx.bytes.resize(whole.size() - kEndRecordSize);  // all entries, no EndRecord
    EXPECT_EQ(Size(sfx, total), kErrorInvalidData);
    // Every cut, down to the first entry header, is caught, never read past.
    for (size_t cut = whole.size() - 1; cut > sfx.start + config::kSize; cut -= 7) {
        sfx.bytes.assign(whole.begin(), whole.begin() + cut);
        EXPECT_EQ(Size(sfx, total), kErrorInvalidData) << "cut at " << cut;
    }
}

TEST(SizeEntries, RefusesHeadersItCannotTrust) {
    struct Case {
        const char* what;
        int32_t nameLength;
        int32_t size;
        uint32_t attributes;
    } cases[] = {
        {"negative size", 5, -5, kAttrArchive},
        {"size of 2 GiB", 5, INT32_MIN, kAttrArchive},
        {"empty name", 0, 5, kAttrArchive},
        {"negative name length", -21, 0, kAttrArchive},  // would otherwise walk on the spot forever
        {"name longer than any path", stub::kMaxNameLength + 1, 0, kAttrArchive},
        {"folder with data", 5, 3, kAttrDirectory},
    };
    for (const Case& c : cases) {
        SfxBuilder sfx(false);
        EntryLayout at = sfx.File("a.txt", "hello");
        sfx.End();
        WriteLE32(&sfx.bytes[at.header + 1], static_cast<uint32_t>(c.nameLength));
        WriteLE32(&sfx.bytes[at.header + 5], static_cast<uint32_t>(c.size));
        WriteLE32(&sfx.bytes[at.header + 13], c.attributes);
        int64_t total = 0;
        EXPECT_EQ(Size(sfx, total, false), kErrorInvalidData) << c.what;
        RecordingSink sink;
        stub::Failure failure = Extract(sfx.bytes, sfx.start, false, sink);
        EXPECT_EQ(failure.code, kErrorInvalidData) << c.what;
        EXPECT_TRUE(sink.files.empty()) << c.what;
    }
}

// Type bytes the builders never write: both passes refuse them before
// anything is created, the end record's included.
TEST(SizeEntries, RefusesEntryTypesTheBuildersNeverWrite) {
    struct Case {
        const char* what;
        uint8_t type;
        bool folder;
    } cases[] = {{"unknown type", 3, false},
                 {"helper folder", kEntryHelper, true},
                 {"program folder", kEntryProgram, true}};
    for (const Case& c : cases) {
        SfxBuilder sfx;
        sfx.File("a.txt", "hello");
        if (c.folder)
            sfx.bytes[sfx.Folder(c.type == kEntryHelper ? kHelperEntryName : "run").header] = c.type;
        else
            sfx.File("b.txt", "data", c.type);
        sfx.End();
        int64_t total = 0;
        EXPECT_EQ(Size(sfx, total), kErrorInvalidData) << c.what;
        RecordingSink sink;
        EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, kErrorInvalidData) << c.what;
        EXPECT_EQ(sink.order, std::vector<std::string>{"X:\\out\\a.txt"}) << c.what;
    }
    SfxBuilder typedEnd;
    typedEnd.File("a.txt", "hello");
    typedEnd.End();
    typedEnd.bytes[typedEnd.bytes.size() - kEndRecordSize] = kEntryProgram;
    int64_t total = 0;
    EXPECT_EQ(Size(typedEnd, total), kErrorInvalidData);
}

TEST(SizeEntries, TellsWhetherAProgramIsThereToRun) {
    for (bool withProgram : {false, true}) {
        SfxBuilder sfx;
        sfx.File("a.txt", "hello", withProgram ? kEntryProgram : kEntryOrdinary);
        sfx.End();
        sfx.bytes[sfx.start + config::kExtractionMode] = 1;
        stub::EntryTotals totals;
        ASSERT_EQ(Size(sfx, totals), 0u);
        EXPECT_EQ(stub::CheckRunEntry(&sfx.bytes[sfx.start], totals),
                  withProgram ? 0u : kErrorInvalidParameter);
        sfx.bytes[sfx.start + config::kExtractionMode] = 0;
        EXPECT_EQ(stub::CheckRunEntry(&sfx.bytes[sfx.start], totals), 0u);
    }
}

TEST(CheckInstanceId, TakesOnlyOnePlainName) {
    uint8_t block[config::kSize] = {};
    auto check = [&](const std::string& id) {
        std::fill(block + config::kInstanceId, block + config::kSize, 0);
        std::copy(id.begin(), id.end(), block + config::kInstanceId);
        return stub::CheckInstanceId(block, NameEncoding{});
    };
    EXPECT_EQ(check("00ABCDEF12"), 0u);
    for (const std::string& id : {std::string(), std::string("\\..\\..\\x"), std::string("a\\b"),
                                  std::string(".."), std::string("con"), std::string("a:b")})
        EXPECT_EQ(check(id), kErrorInvalidData) << id;
    // Without a zero byte the identifier runs to the end of the block.
    EXPECT_EQ(check(std::string(config::kSize - config::kInstanceId, 'A')), 0u);
    EXPECT_EQ(check(std::string(config::kSize - config::kInstanceId - 1, 'A') + "\\"), kErrorInvalidData);
}

TEST(ExtractEntries, WritesEveryEntryInContainerOrder) {
    for (bool compressed : {true, false}) {
        SfxBuilder sfx(compressed, 4096);
        const std::string big = Pattern(10000, 7);
        sfx.File("xsfxdel~.exe", "MZhelper", kEntryHelper, 0, 0);
        sfx.Folder("sub", kAttrDirectory | kAttrHidden);
        sfx.File("sub\\big.bin", big, kEntryOrdinary, 0x52A36000u, kAttrArchive | kAttrReadOnly);
        sfx.File("empty.txt", "");
        sfx.File("run.exe", "MZprogram", kEntryProgram);
        sfx.End();
        RecordingSink sink;
        ASSERT_EQ(Extract(sfx.bytes, sfx.start, compressed, sink).code, 0u);

        EXPECT_EQ(sink.order, (std::vector<std::string>{"X:\\tmp\\xsfxdel~.exe", "X:\\out\\sub\\big.bin",
                                                        "X:\\out\\empty.txt", "X:\\out\\run.exe"}));
        EXPECT_EQ(sink.folders, std::vector<std::string>{"X:\\out\\sub"});
        EXPECT_EQ(sink.files["X:\\out\\sub\\big.bin"].data, big);
        EXPECT_EQ(sink.files["X:\\out\\sub\\big.bin"].time, 0x52A36000u);
        EXPECT_EQ(sink.files["X:\\tmp\\xsfxdel~.exe"].data, "MZhelper");
        EXPECT_TRUE(sink.files["X:\\out\\empty.txt"].ended);
        EXPECT_EQ(sink.attributes["X:\\out\\sub"], kAttrDirectory | kAttrHidden);
        EXPECT_EQ(sink.attributes["X:\\out\\sub\\big.bin"], kAttrArchive | kAttrReadOnly);
        EXPECT_EQ(sink.progress, 10000 + 8 + 9);
    }
}

// Names altered after the build must not reach outside the extraction
// folder or past what Windows can create; the entries before stay extracted
// for the clean-up, nothing of the refused one is created.
TEST(ExtractEntries, RefusesUnsafeNamesBeforeCreatingAnything) {
    // clang-format off
    const std::string unsafe[] = {
        "..\\..\\x.txt", "x/../../y.txt", "sub\\..\\..\\..\\..\\z.txt", "..", ".", "a\\.\\b", "\\abs.txt",
        "sub\\", "a\\\\b", "C:\\x.txt", "name:stream", "tab\there", "nul", "Con.txt", "sub\\LPT1", "com9.log",
        "dot.", "blank ", "a?b", "a*b", "a|b", "a<b", "a>b", "a\"b", std::string("nu\0l", 4),
        "\x83",  // a lead byte without its trail byte
        // A lead byte whose trail is no trail byte: the system would drop it,
        // or stop at the zero, and find "..", "CON" or a stream behind it.
        std::string("..\x83\0", 4), std::string("CON\x83\0", 5), std::string("a\x83\x01", 3), "..\x83/x",
        "a\x83:b", "a\x83\x7F", "a\x83\xFF",
    };
    // clang-format on
    for (const std::string& name : unsafe) ExpectNameRefused(name, false);
}

// Every form in which Windows reads a name as a device, in a code page that
// has the superscript digits as single bytes (1252) and in one that has them
// as double-byte characters (949).
TEST(IsSafeEntryName, RefusesEveryFormOfDeviceName) {
    const NameEncoding cp1252{nullptr, [](const uint8_t* c, size_t n) {
                                  return n == 1 && (c[0] == 0xB9 || c[0] == 0xB2 || c[0] == 0xB3);
                              }};
    const NameEncoding cp949{
        [](uint8_t c) { return c >= 0x81 && c <= 0xFE; },
        [](const uint8_t* c, size_t n) { return n == 2 && c[0] == 0xA9 && c[1] >= 0xF6 && c[1] <= 0xF8; }};
    for (const char* device : {"nul .txt", "COM1 .txt", "CON .txt", "con", "Aux.tar.gz", "prn  .x", "CONIN$",
                               "conout$.log", "COM0", "lpt9.txt", "sub\\LPT0 .a", "NUL. .txt"}) {
        EXPECT_FALSE(IsSafeEntryName(device, std::strlen(device), cp1252)) << device;
        EXPECT_FALSE(IsSafeEntryName(device, std::strlen(device), cp949)) << device;
    }
    for (const char* device : {"COM\xB9", "lpt\xB2.txt", "com\xB3 .log"})
        EXPECT_FALSE(IsSafeEntryName(device, std::strlen(device), cp1252)) << device;
    for (const char* device : {"COM\xA9\xF6", "lpt\xA9\xF8.txt"})
        EXPECT_FALSE(IsSafeEntryName(device, std::strlen(device), cp949)) << device;
    for (const char* plain : {"console", "nul_.txt", "COM10", "COM", "LPT", "com1x.txt", " con", "CONIN",
                              "CONOUT$$", "a.con", "COM\xA9\xF9"}) {
        EXPECT_TRUE(IsSafeEntryName(plain, std::strlen(plain), cp1252)) << plain;
        EXPECT_TRUE(IsSafeEntryName(plain, std::strlen(plain), cp949)) << plain;
    }
    EXPECT_TRUE(IsSafeEntryName("COM\xB4", 4, cp1252));
}

TEST(ExtractEntries, NamesAreReadAsDoubleByteText) {
    // 0x83 0x5C and 0x95 0x7C are whole characters: their trail bytes are no
    // separator and no forbidden character, and a name may end in them.
    SfxBuilder sfx;
    sfx.Folder("\x83\x5C");
    sfx.File("\x83\x5C\\\x95\x7C.txt", "x");
    sfx.File("\x83\x5C\\com10.txt", "not a device");
    sfx.End();
    RecordingSink sink;
    ASSERT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, 0u);
    EXPECT_EQ(sink.folders, std::vector<std::string>{"X:\\out\\\x83\x5C"});
    EXPECT_EQ(sink.files["X:\\out\\\x83\x5C\\\x95\x7C.txt"].data, "x");
}

TEST(ExtractEntries, TheHelperEntryCarriesOnlyTheHelpersName) {
    for (const char* name : {"..\\xsfxdel~.exe", "XSFXDEL~.EXE", "other.exe", "xsfxdel~.exe\\x"}) {
        SfxBuilder sfx;
        sfx.File(name, "MZ", kEntryHelper);
        sfx.File("later.txt", "later");
        sfx.End();
        RecordingSink sink;
        EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, kErrorInvalidData) << name;
        EXPECT_TRUE(sink.order.empty()) << name;
    }
}

TEST(ExtractEntries, AKeptFileIsStillReadAndVerified) {
    SfxBuilder sfx(true, 100);
    EntryLayout kept = sfx.File("kept.txt", Pattern(300, 4));
    sfx.File("next.txt", "next");
    sfx.End();
    RecordingSink sink;
    sink.keep["X:\\out\\kept.txt"] = 1;
    ASSERT_EQ(Extract(sfx.bytes, sfx.start, true, sink).code, 0u);
    EXPECT_EQ(sink.files["X:\\out\\kept.txt"].data, "");
    EXPECT_EQ(sink.attributes["X:\\out\\kept.txt"], kAttrArchive);  // a kept file still gets the attributes
    EXPECT_EQ(sink.files["X:\\out\\next.txt"].data, "next");

    sfx.bytes[kept.checksum] ^= 1;
    RecordingSink again;
    again.keep["X:\\out\\kept.txt"] = 1;
    EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, again).code, kErrorCrc);
}

TEST(ExtractEntries, AWrongChecksumEndsWithCodeTwentyThree) {
    SfxBuilder folder;
    EntryLayout at = folder.Folder("d");
    folder.File("d\\a.txt", "abc");
    folder.End();
    folder.bytes[at.checksum] ^= 1;
    RecordingSink sink;
    stub::Failure failure = Extract(folder.bytes, folder.start, true, sink);
    EXPECT_EQ(failure.code, kErrorCrc);
    EXPECT_EQ(failure.subject, Subject::OwnFile);
    EXPECT_TRUE(sink.files.empty());

    // Raw data: the damaged byte is written, then the checksum catches it.
    SfxBuilder raw(false);
    at = raw.File("a.txt", "hello world");
    raw.End();
    raw.bytes[at.data + 3] ^= 0x20;
    RecordingSink rawSink;
    failure = Extract(raw.bytes, raw.start, false, rawSink);
    EXPECT_EQ(failure.code, kErrorCrc);
    EXPECT_EQ(failure.subject, Subject::OwnFile);
    EXPECT_EQ(rawSink.files["X:\\out\\a.txt"].data, "helLo world");
    EXPECT_FALSE(rawSink.files["X:\\out\\a.txt"].ended);
}

TEST(ExtractEntries, ADamagedPackedChunkEndsWithCodeOneHundredSixty) {
    SfxBuilder sfx;
    EntryLayout at = sfx.File("a.bin", Pattern(5000, 9));
    sfx.End();
    sfx.bytes[at.data + kChunkHeaderSize + 40] ^= 0x10;
    RecordingSink sink;
    std::string path;
    stub::Failure failure = Extract(sfx.bytes, sfx.start, true, sink, &path);
    EXPECT_EQ(failure.code, kErrorBadArguments);
    EXPECT_EQ(failure.subject, Subject::Target);
    EXPECT_EQ(path, "X:\\out\\a.bin");
}

TEST(ExtractEntries, RefusesChunksThatBreakTheChunkRules) {
    SfxBuilder sfx;
    EntryLayout at = sfx.File("a.bin", Pattern(5000, 9));
    sfx.End();
    const std::vector<uint8_t> good = sfx.bytes;

    // A packed length above the reader's buffer.
    WriteLE32(&sfx.bytes[at.data + 4], kMaxPackedChunk + 1);
    RecordingSink sink;
    stub::Failure failure = Extract(sfx.bytes, sfx.start, true, sink);
    EXPECT_EQ(failure.code, kErrorNotEnoughMemory);
    EXPECT_EQ(failure.subject, Subject::OwnFile);

    // A chunk that claims more data than its file has left.
    sfx.bytes = good;
    WriteLE32(&sfx.bytes[at.data], 5001);
    RecordingSink more;
    EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, more).code, kErrorInvalidData);
    EXPECT_EQ(more.files["X:\\out\\a.bin"].data, "");

    // A chunk that unpacks to a different length than its header says.
    sfx.bytes = good;
    WriteLE32(&sfx.bytes[at.data], 4999);
    RecordingSink fewer;
    EXPECT_EQ(Extract(sfx.bytes, sfx.start, true, fewer).code, kErrorBadArguments);
}

TEST(ExtractEntries, PlatformFailuresNameTheTarget) {
    SfxBuilder sfx;
    sfx.File("a.txt", "hello");
    sfx.End();
    RecordingSink cannotCreate;
    cannotCreate.beginError = 5;  // access denied
    stub::Failure failure = Extract(sfx.bytes, sfx.start, true, cannotCreate);
    EXPECT_EQ(failure.code, 5u);
    EXPECT_EQ(failure.subject, Subject::Target);

    RecordingSink cannotWrite;
    cannotWrite.writeError = 112;  // disk full
    failure = Extract(sfx.bytes, sfx.start, true, cannotWrite);
    EXPECT_EQ(failure.code, 112u);
    EXPECT_EQ(failure.subject, Subject::Target);
}

TEST(ExtractEntries, ATruncatedContainerNeverReadsPastItsEnd) {
    SfxBuilder sfx(true, 700);
    sfx.Folder("d");
    sfx.File("d\\a.bin", Pattern(2000, 5));
    sfx.End();
    const std::vector<uint8_t> whole = sfx.bytes;
    for (size_t cut = whole.size() - 1; cut > sfx.start + config::kSize; --cut) {
        std::vector<uint8_t> bytes(whole.begin(), whole.begin() + cut);
        RecordingSink sink;
        stub::Failure failure = Extract(bytes, sfx.start, true, sink);
        EXPECT_NE(failure.code, 0u) << "cut at " << cut;
    }
}

TEST(InflateChunk, RequiresOneCompleteStreamOfTheDeclaredLength) {
    const std::string data = Pattern(3000, 11);
    std::vector<uint8_t> packed = SfxBuilder::Pack(data.data(), data.size());
    std::string out;
    auto collect = [](void* context, const uint8_t* bytes, uint32_t n) -> uint32_t {
        static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(bytes), n);
        return 0;
    };
    const uint32_t size = static_cast<uint32_t>(packed.size());
    EXPECT_EQ(stub::InflateChunk(packed.data(), size, 3000, collect, &out), 0u);
    EXPECT_EQ(out, data);

    EXPECT_EQ(stub::InflateChunk(packed.data(), size, 3001, collect, &out), kErrorBadArguments);
    EXPECT_EQ(stub::InflateChunk(packed.data(), size, 2999, collect, &out), kErrorBadArguments);
    EXPECT_EQ(stub::InflateChunk(packed.data(), size - 1, 3000, collect, &out), kErrorBadArguments);
    std::vector<uint8_t> trailing = packed;
    trailing.push_back(0);
    EXPECT_EQ(stub::InflateChunk(trailing.data(), size + 1, 3000, collect, &out), kErrorBadArguments);
    std::vector<uint8_t> badAdler = packed;
    badAdler.back() ^= 1;
    EXPECT_EQ(stub::InflateChunk(badAdler.data(), size, 3000, collect, &out), kErrorBadArguments);
    std::vector<uint8_t> badHeader = packed;
    badHeader[1] ^= 1;
    EXPECT_EQ(stub::InflateChunk(badHeader.data(), size, 3000, collect, &out), kErrorBadArguments);

    auto refuse = [](void*, const uint8_t*, uint32_t) -> uint32_t { return 39; };
    EXPECT_EQ(stub::InflateChunk(packed.data(), size, 3000, refuse, nullptr), 39u);
}

}  // namespace
}  // namespace ql::test
