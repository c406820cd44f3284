// The resource transaction and the PE rewrite underneath it: what a commit
// writes, what it keeps byte for byte, and when it refuses to touch the file.
#include <gtest/gtest.h>

#include "builder/engine/pe_image.h"
#include "shared/container.h"
#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

PeImage Image(const std::string& path) {
    PeImage image;
    EXPECT_TRUE(image.Parse(ReadFile(path))) << path;
    return image;
}

// Everything the stub's container reader relies on, and the header fields that
// must follow the resource section.
void ExpectConsistentImage(const std::string& path) {
    const PeImage image = Image(path);
    const std::string& bytes = image.Bytes();
    uint64_t rawEnd = 0;
    const PeSection* resources = nullptr;
    for (const PeSection& s : image.Sections()) {
        if (s.rawSize > 0) rawEnd = std::max<uint64_t>(rawEnd, uint64_t{s.rawPointer} + s.rawSize);
        if (s.virtualAddress == image.ResourceRva()) resources = &s;
    }
    EXPECT_EQ(rawEnd, bytes.size()) << "nothing may stand behind the last section";
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(resources->virtualSize, image.ResourceSize());
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t optional = ReadLE32(p + 60) + 24;
    const uint32_t sectionAlignment = ReadLE32(p + optional + 32);
    const uint32_t sizeOfImage = ReadLE32(p + optional + 56);
    uint64_t end = 0;
    for (const PeSection& s : image.Sections())
        end = std::max<uint64_t>(end, s.virtualAddress + (uint64_t{s.virtualSize} + sectionAlignment - 1) /
                                                             sectionAlignment * sectionAlignment);
    EXPECT_EQ(sizeOfImage, end);
    if (image.CheckSumField() != 0) {
        EXPECT_EQ(image.CheckSumField(), PeCheckSum(bytes, image.CheckSumOffset()));
    }
}

void ExpectSameResourcesExcept(const ResourceTree& before, const ResourceTree& after,
                               const ResourceKey& changed) {
    before.ForEach([&](const ResourceKey& key, const ResourceEntry& entry) {
        if (key.type == changed.type && key.name == changed.name && key.language == changed.language) return;
        const ResourceEntry* kept = after.Find(key);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->data, entry.data);
    });
}

class PeRewrite : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(PeRewrite, ChecksumAlgorithmAgreesWithTheLinker) {
    for (const char* name : {"res_stublike.exe", "res_stublike32.exe", "res_named.exe", "res_plain.exe"}) {
        const PeImage image = Image(FixturePath(name));
        ASSERT_NE(image.CheckSumField(), 0u) << name;
        EXPECT_EQ(PeCheckSum(image.Bytes(), image.CheckSumOffset()), image.CheckSumField()) << name;
    }
}

TEST_F(PeRewrite, ExtentOfTheImageFromItsHeaders) {
    const std::string image = ReadFile(FixturePath("res_named.exe"));
    EXPECT_EQ(PeImage::BytesNeeded(image), image.size());
    EXPECT_EQ(PeImage::BytesNeeded(image + "payload"), image.size());
    // Too short a prefix asks for more, up to the section table, then the whole.
    const uint64_t headers = PeImage::BytesNeeded(image.substr(0, 70));
    EXPECT_GT(headers, 70u);
    const uint64_t table = PeImage::BytesNeeded(image.substr(0, headers));
    EXPECT_GT(table, headers);
    EXPECT_EQ(PeImage::BytesNeeded(image.substr(0, table)), image.size());
    EXPECT_EQ(PeImage::BytesNeeded(std::string(100, 'x')), 0u);
}

TEST_F(PeRewrite, CommitWithoutChangesKeepsEveryResource) {
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const std::string before = ReadFile(target);
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    ASSERT_TRUE(update.End(true));
    EXPECT_EQ(NativeListing(target), NativeListing(FixturePath("res_stublike.exe")));
    EXPECT_EQ(ReadFile(target).size(), before.size());
    ExpectConsistentImage(target);
    EXPECT_WINE_AGREES(target);
}

TEST_F(PeRewrite, GrowingTheLastSectionKeepsOtherResourcesAndHeadersRight) {
    for (const char* name : {"res_stublike.exe", "res_stublike32.exe"}) {
        SCOPED_TRACE(name);
        const std::string target = CopyFixture(dir, name);
        const ResourceTree before = Resources(target);
        const ResourceKey big{Text("BIG"), Num(7), 1033};
        FileUpdate update;
        ASSERT_TRUE(update.Begin(target));
        ASSERT_TRUE(update.Put(big, PatternData(150000, 3)));
        ASSERT_TRUE(update.End(true));
        const ResourceTree after = Resources(target);
        ASSERT_NE(after.Find(big), nullptr);
        EXPECT_EQ(after.Find(big)->data, PatternData(150000, 3));
        ExpectSameResourcesExcept(before, after, big);
        ExpectConsistentImage(target);
        EXPECT_WINE_AGREES(target);

        // And shrinking back gives the original resources in a smaller file.
        const size_t grown = ReadFile(target).size();
        ASSERT_TRUE(update.Begin(target));
        ASSERT_TRUE(update.Delete(big));
        ASSERT_TRUE(update.End(true));
        EXPECT_LT(ReadFile(target).size(), grown);
        EXPECT_EQ(NativeListing(target), NativeListing(FixturePath(name)));
        ExpectConsistentImage(target);
    }
}

TEST_F(PeRewrite, ImageWithoutResourcesGetsANewLastSection) {
    const std::string target = CopyFixture(dir, "res_plain.exe");
    const size_t sections = Image(target).Sections().size();
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    EXPECT_TRUE(update.Original().Empty());
    ASSERT_TRUE(update.Put({Num(24), Num(1), 0}, "<assembly/>"));
    ASSERT_TRUE(update.End(true));
    const PeImage image = Image(target);
    ASSERT_EQ(image.Sections().size(), sections + 1);
    EXPECT_EQ(image.Sections().back().name, ".rsrc");
    EXPECT_EQ(image.Sections().back().virtualAddress, image.ResourceRva());
    ExpectConsistentImage(target);
    EXPECT_WINE_AGREES(target);
}

TEST_F(PeRewrite, NamesAreStoredInTheOrderWindowsSearches) {
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    // Upper case only: Windows upper-cases the name it is asked for.
    for (const char* name : {"_X", "AB", "A1", "A", "B"})
        ASSERT_TRUE(update.Put({Num(10), Text(name), 0}, name));
    for (uint16_t language : {1049, 0, 1033}) ASSERT_TRUE(update.Put({Num(10), Num(9), language}, "x"));
    ASSERT_TRUE(update.Put({Num(10), Num(2), 0}, "two"));
    ASSERT_TRUE(update.End(true));
    const ResourceTree tree = Resources(target);
    const std::vector<ResourceName> expected{Text("A"),    Text("A1"), Text("AB"), Text("B"),
                                             Text("DATA"), Text("_X"), Num(2),     Num(9)};
    EXPECT_EQ(tree.Names(Num(10)), expected);
    EXPECT_EQ(tree.Languages(Num(10), Num(9)), (std::vector<uint16_t>{0, 1033, 1049}));
    // Windows finds each of them by binary search and enumerates them in this order.
    EXPECT_WINE_AGREES(target);
}

TEST_F(PeRewrite, SectionThatIsNotLastOnlyChangesWithinItsRoom) {
    const std::string target = CopyFixture(dir, "res_middle.exe");
    const std::string original = ReadFile(target);
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    ASSERT_TRUE(update.Put({Num(10), Num(99), 0}, PatternData(40000, 1)));
    EXPECT_FALSE(update.End(true));
    EXPECT_EQ(ReadFile(target), original);

    // Smaller content fits where the old one was; the section behind stays put.
    ASSERT_TRUE(update.Begin(target));
    ASSERT_TRUE(update.Delete({Num(3), Num(10), 1029}));
    ASSERT_TRUE(update.End(true));
    EXPECT_EQ(ReadFile(target).size(), original.size());
    EXPECT_EQ(Resources(target).Find({Num(3), Num(10), 1029}), nullptr);
    const PeImage before = Image(FixturePath("res_middle.exe"));
    const PeImage after = Image(target);
    const PeSection& relocations = after.Sections().back();
    EXPECT_EQ(relocations.name, ".reloc");
    EXPECT_EQ(after.Bytes().substr(relocations.rawPointer, relocations.rawSize),
              before.Bytes().substr(before.Sections().back().rawPointer, before.Sections().back().rawSize));
    EXPECT_WINE_AGREES(target);
}

TEST_F(PeRewrite, DataBehindTheLastSectionIsDropped) {
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const std::string image = ReadFile(target);
    WriteFile(target, image + "an old container or signature");
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    ASSERT_TRUE(update.End(true));
    EXPECT_EQ(ReadFile(target).size(), image.size());
    ExpectConsistentImage(target);
}

TEST_F(PeRewrite, DiscardLeavesTheFileAlone) {
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const std::string original = ReadFile(target);
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    ASSERT_TRUE(update.Put({Num(10), Num(5), 0}, "staged"));
    // Reads during the update see the file as it was.
    EXPECT_EQ(update.Original().Find({Num(10), Num(5), 0}), nullptr);
    EXPECT_TRUE(update.End(false));
    EXPECT_EQ(ReadFile(target), original);
}

TEST_F(PeRewrite, NumberZeroIsNoValidKey) {
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    FileUpdate update;
    ASSERT_TRUE(update.Begin(target));
    EXPECT_FALSE(update.Put({Num(3), Num(0), 0}, "x"));
    EXPECT_FALSE(update.Delete({Num(0), Num(1), 0}));
    EXPECT_TRUE(update.Delete({Num(3), Num(4000), 0}));  // absent: nothing to remove
    EXPECT_TRUE(update.End(false));
}

// Damaged inputs: every one is refused before anything is written.
TEST_F(PeRewrite, DamagedFilesAreRefused) {
    const std::string good = ReadFile(FixturePath("res_stublike.exe"));
    const PeImage image = Image(FixturePath("res_stublike.exe"));
    const PeSection* rsrc = nullptr;
    for (const PeSection& s : image.Sections())
        if (s.virtualAddress == image.ResourceRva()) rsrc = &s;
    ASSERT_NE(rsrc, nullptr);
    const size_t root = rsrc->rawPointer;
    auto patched = [&](size_t at, uint32_t value) {
        std::string bytes = good;
        WriteLE32(reinterpret_cast<uint8_t*>(bytes.data() + at), value);
        return bytes;
    };
    const uint32_t firstChild = ReadLE32(reinterpret_cast<const uint8_t*>(good.data() + root + 16 + 4));
    const size_t typeTable = root + (firstChild & 0x7FFFFFFF);
    const size_t nameTable =
        root + (ReadLE32(reinterpret_cast<const uint8_t*>(good.data() + typeTable + 20)) & 0x7FFFFFFF);
    const size_t dataEntry = root + ReadLE32(reinterpret_cast<const uint8_t*>(good.data() + nameTable + 20));
    const std::vector<std::pair<const char*, std::string>> damaged{
        {"not a PE file", "MZ but nothing else of an executable"},
        {"empty file", ""},
        {"truncated inside the sections", good.substr(0, good.size() - 5000)},
        {"subtable outside the section", patched(root + 16 + 4, 0x80000000u | 0x00FFFFF0u)},
        {"type table pointing at data", patched(root + 16 + 4, firstChild & 0x7FFFFFFF)},
        {"entry count beyond the section", patched(root + 12, 0xFFF0FFF0u)},
        {"data outside the image", patched(dataEntry, 0x7FFFFF00u)},
        {"data size past the section", patched(dataEntry + 4, 0x00FFFFFFu)},
        {"name string outside", patched(root + 16, 0x8FFFFFF0u)},
    };
    const std::string stub = CopyFixture(dir, "res_stublike.exe");
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        const std::string target = dir / "damaged.exe";
        WriteFile(target, bytes);
        FileUpdate update;
        EXPECT_FALSE(update.Begin(target));
        ResourceTree tree;
        EXPECT_FALSE(LoadResources(target, tree));
        // As a target every operation refuses it; as a source it changes nothing.
        EXPECT_FALSE(CopyIconFromIconFile(FixturePath("three.ico"), OnDisk(target)));
        EXPECT_FALSE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
        EXPECT_EQ(ReadFile(target), bytes);
        EXPECT_FALSE(CopyIconFromExecutable(target, OnDisk(stub)));
        EXPECT_FALSE(CopyVersionInfo(target, OnDisk(stub)));
        EXPECT_EQ(ReadFile(stub), good);
    }
}

// Random damage anywhere in the resource section, the version block included:
// the reader and the operations either refuse the file or read only what is
// there; an edit that goes through still leaves a file the reader accepts.
TEST_F(PeRewrite, RandomDamageIsHandled) {
    const std::string good = ReadFile(FixturePath("res_named.exe"));
    const PeImage image = Image(FixturePath("res_named.exe"));
    const PeSection& rsrc = image.Sections().back();
    ASSERT_EQ(rsrc.virtualAddress, image.ResourceRva());
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        for (int flips = 1 + round % 4; flips > 0; --flips)
            bytes[rsrc.rawPointer + next() % rsrc.virtualSize] = static_cast<char>(next());
        const std::string source = dir / "source.exe";
        const std::string target = dir / "target.exe";
        WriteFile(source, bytes);
        WriteFile(target, bytes);
        VersionLanguage(source);
        const std::string stub = CopyFixture(dir, "res_stublike.exe");
        CopyIconFromExecutable(source, OnDisk(stub));
        CopyVersionInfo(source, OnDisk(stub));
        ResourceTree tree;
        EXPECT_TRUE(LoadResources(stub, tree));
        if (CopyIconFromIconFile(FixturePath("three.ico"), OnDisk(target))) {
            EXPECT_TRUE(LoadResources(target, tree));
        } else {
            EXPECT_EQ(ReadFile(target), bytes);
        }
    }
}

}  // namespace
}  // namespace ql::test
