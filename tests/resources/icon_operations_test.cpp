// Replacing the stub's icon, from an icon file or from another executable.
// The stand-in for the stub (res_stublike) has MAINICON in Czech (1029) with
// images 1..10, a string table and a data resource.
#include <gtest/gtest.h>

#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

constexpr uint16_t kCzech = 1029, kGerman = 1031, kEnglish = 1033;

class IconOperations : public ResourceFilesTest {
protected:
    std::string Stub() { return CopyFixture(dir, "res_stublike.exe"); }
    // The resources an icon operation never touches.
    static void ExpectOthersKept(const ResourceTree& tree) {
        const ResourceTree original = Resources(FixturePath("res_stublike.exe"));
        EXPECT_EQ(tree.Find({Num(6), Num(1), kCzech})->data, original.Find({Num(6), Num(1), kCzech})->data);
        EXPECT_EQ(tree.Find({Num(10), Text("DATA"), 0})->data,
                  original.Find({Num(10), Text("DATA"), 0})->data);
    }
};

TEST_F(IconOperations, IconFileReplacesTheGroupInTheVersionLanguage) {
    const std::string target = Stub();
    const std::string ico = Write("three.ico", IconFile({{16, 1}, {32, 2}, {48, 3}}));
    ASSERT_TRUE(CopyIconFromIconFile(ico, OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Names(Num(14)), std::vector<ResourceName>{Text("MAINICON")});
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{0});
    EXPECT_EQ(tree.Names(Num(3)), (std::vector<ResourceName>{Num(1), Num(2), Num(3)}));
    const std::string& group = tree.Find({Num(14), Text("MAINICON"), 0})->data;
    ASSERT_EQ(group.size(), 6u + 14 * 3);
    EXPECT_EQ(GroupNumbers(group), (std::vector<uint16_t>{1, 2, 3}));
    const std::string file = ReadFile(ico);
    EXPECT_EQ(group.substr(0, 6), file.substr(0, 6));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(group.substr(6 + 14 * i, 12), file.substr(6 + 16 * i, 12));
        const int size = i == 0 ? 16 : i == 1 ? 32 : 48;
        EXPECT_EQ(tree.Languages(Num(3), Num(static_cast<uint16_t>(i + 1))), std::vector<uint16_t>{0});
        EXPECT_EQ(tree.Find({Num(3), Num(static_cast<uint16_t>(i + 1)), 0})->data, IconImage(size, i + 1));
    }
    ExpectOthersKept(tree);
    EXPECT_WINE_AGREES(target);
    EXPECT_EQ(WineIcon(target), "icon 2 32x32\n");
}

TEST_F(IconOperations, IconFileFollowsTheLanguageOfCopiedVersionInformation) {
    const std::string target = Stub();
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_numbered.exe"), OnDisk(target)));
    ASSERT_TRUE(CopyIconFromIconFile(Write("one.ico", IconFile({{16, 5}})), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(tree.Languages(Num(3), Num(1)), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(tree.Names(Num(3)), std::vector<ResourceName>{Num(1)});
    EXPECT_WINE_AGREES(target);
}

TEST_F(IconOperations, TargetWithoutIconGroupGetsGroupNumberOne) {
    const std::string target = CopyFixture(dir, "res_plain.exe");
    ASSERT_TRUE(CopyIconFromIconFile(Write("two.ico", IconFile({{16, 1}, {32, 2}})), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Names(Num(14)), std::vector<ResourceName>{Num(1)});
    EXPECT_EQ(tree.Names(Num(3)), (std::vector<ResourceName>{Num(1), Num(2)}));
    EXPECT_WINE_AGREES(target);
    EXPECT_EQ(WineIcon(target), "icon 2 32x32\n");
}

TEST_F(IconOperations, MalformedIconFilesChangeNothing) {
    const std::string good = IconFile({{16, 1}, {32, 2}});
    std::string lyingSize = good;
    lyingSize[6 + 16 + 8 + 3] = static_cast<char>(0x7F);  // second image claims more bytes than the file has
    std::string lyingOffset = good;
    lyingOffset[6 + 12 + 3] = static_cast<char>(0x40);  // first image far behind the end
    std::string noBytes = good;
    for (int i = 0; i < 4; ++i) noBytes[6 + 16 + 8 + i] = 0;
    std::string bigCount = good;
    bigCount[4] = 40;  // 40 entries announced, 2 present
    const std::vector<std::pair<const char*, std::string>> cases{
        {"shorter than its header", good.substr(0, 5)},
        {"entries cut off", good.substr(0, 6 + 16 + 5)},
        {"last image cut off", good.substr(0, good.size() - 1)},
        {"image size beyond the end", lyingSize},
        {"image offset beyond the end", lyingOffset},
        {"image of no bytes", noBytes},
        {"count larger than the entries", bigCount},
    };
    const std::string target = Stub();
    const std::string original = ReadFile(target);
    for (const auto& [what, content] : cases) {
        EXPECT_FALSE(CopyIconFromIconFile(Write("bad.ico", content), OnDisk(target))) << what;
        EXPECT_EQ(ReadFile(target), original) << what;
    }
    EXPECT_FALSE(CopyIconFromIconFile(dir / "missing.ico", OnDisk(target)));
    EXPECT_FALSE(CopyIconFromIconFile(FixturePath("res_named.exe"), OnDisk(dir / "missing.exe")));
    EXPECT_EQ(ReadFile(target), original);
}

TEST_F(IconOperations, NonPeTargetIsRefused) {
    const std::string target = Write("target.exe", "MZ not really");
    EXPECT_FALSE(CopyIconFromIconFile(Write("one.ico", IconFile({{16, 1}})), OnDisk(target)));
    EXPECT_FALSE(CopyIconFromExecutable(FixturePath("res_named.exe"), OnDisk(target)));
    EXPECT_EQ(ReadFile(target), "MZ not really");
}

TEST_F(IconOperations, ExecutableGivesItsFirstGroupUnderTheStubsName) {
    // res_named: "ZEBRA" (English, images 7 and 8) comes before group 3; image 7
    // also exists in German, and the group's own language wins.
    const std::string target = Stub();
    ASSERT_TRUE(CopyIconFromExecutable(FixturePath("res_named.exe"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    const ResourceTree source = Resources(FixturePath("res_named.exe"));
    EXPECT_EQ(tree.Names(Num(14)), std::vector<ResourceName>{Text("MAINICON")});
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(tree.Find({Num(14), Text("MAINICON"), kEnglish})->data,
              source.Find({Num(14), Text("ZEBRA"), kEnglish})->data);
    EXPECT_EQ(tree.Names(Num(3)), (std::vector<ResourceName>{Num(7), Num(8)}));
    for (uint16_t n : {7, 8}) {
        EXPECT_EQ(tree.Languages(Num(3), Num(n)), std::vector<uint16_t>{kEnglish});
        EXPECT_EQ(tree.Find({Num(3), Num(n), kEnglish})->data, source.Find({Num(3), Num(n), kEnglish})->data);
    }
    ExpectOthersKept(tree);
    EXPECT_WINE_AGREES(target);
    EXPECT_EQ(WineIcon(target), "icon 8 32x32\n");
}

TEST_F(IconOperations, NumberedGroupsGiveTheLowestInItsFirstLanguage) {
    // res_numbered: groups 5 and 2; group 2 exists in German and English with
    // partly different images. German comes first, and only it is copied.
    const std::string target = Stub();
    ASSERT_TRUE(CopyIconFromExecutable(FixturePath("res_numbered.exe"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    const ResourceTree source = Resources(FixturePath("res_numbered.exe"));
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{kGerman});
    const std::string& group = source.Find({Num(14), Num(2), kGerman})->data;
    EXPECT_EQ(tree.Find({Num(14), Text("MAINICON"), kGerman})->data, group);
    std::vector<uint16_t> numbers;
    ASSERT_TRUE(IconGroupNumbers(group, numbers));
    std::vector<ResourceName> names;
    for (uint16_t n : numbers) names.push_back(Num(n));
    EXPECT_EQ(tree.Names(Num(3)), names);
    for (uint16_t n : numbers) {
        EXPECT_EQ(tree.Languages(Num(3), Num(n)), std::vector<uint16_t>{kGerman});
        EXPECT_EQ(tree.Find({Num(3), Num(n), kGerman})->data,
                  source.FindAnyLanguage(Num(3), Num(n), kGerman)->data);
    }
    EXPECT_WINE_AGREES(target);
}

TEST_F(IconOperations, SourceWithPayloadBehindItsImage) {
    // An installer: the image, then a large payload that is never read.
    const std::string source = dir / "setup.exe";
    WriteFile(source, ReadFile(FixturePath("res_named.exe")) + PatternData(20 << 20, 4));
    const std::string target = Stub();
    ASSERT_TRUE(CopyIconFromExecutable(source, OnDisk(target)));
    ASSERT_TRUE(CopyVersionInfo(source, OnDisk(target)));
    EXPECT_EQ(Resources(target).Names(Num(3)), (std::vector<ResourceName>{Num(7), Num(8)}));
    EXPECT_EQ(VersionLanguage(source), kCzech);
}

TEST_F(IconOperations, TargetWithoutGroupTakesTheSourceGroupName) {
    const std::string target = CopyFixture(dir, "res_plain.exe");
    ASSERT_TRUE(CopyIconFromExecutable(FixturePath("res_named.exe"), OnDisk(target)));
    EXPECT_EQ(Resources(target).Names(Num(14)), std::vector<ResourceName>{Text("ZEBRA")});
    EXPECT_WINE_AGREES(target);
}

TEST_F(IconOperations, ImageFromAnotherLanguageWhenTheGroupsOwnIsMissing) {
    // A source whose English group lists image 7 that exists only in German.
    const std::string source = CopyFixture(dir, "res_plain.exe");
    const std::string image = IconImage(16, 9);
    std::string group("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    group += std::string{static_cast<char>(image.size()), static_cast<char>(image.size() >> 8), 0, 0, 7, 0};
    ASSERT_TRUE(
        PutResources(source, {{{Num(14), Num(1), kEnglish}, group}, {{Num(3), Num(7), kGerman}, image}}));
    const std::string target = Stub();
    ASSERT_TRUE(CopyIconFromExecutable(source, OnDisk(target)));
    const ResourceTree tree = Resources(target);
    ASSERT_NE(tree.Find({Num(3), Num(7), kEnglish}), nullptr);
    EXPECT_EQ(tree.Find({Num(3), Num(7), kEnglish})->data, image);
}

TEST_F(IconOperations, SourcesWithoutUsableIconChangeNothing) {
    const std::string target = Stub();
    const std::string original = ReadFile(target);
    EXPECT_FALSE(CopyIconFromExecutable(FixturePath("res_plain.exe"), OnDisk(target)));  // no icon group
    EXPECT_FALSE(CopyIconFromExecutable(FixturePath("three.ico"), OnDisk(target)));      // not an executable
    EXPECT_FALSE(CopyIconFromExecutable(dir / "missing.exe", OnDisk(target)));
    // A group that announces more entries than it holds.
    const std::string liar = CopyFixture(dir, "res_plain.exe");
    ASSERT_TRUE(PutResources(liar, {{{Num(14), Num(1), 0}, std::string("\0\0\1\0\x09\0", 6)}}));
    EXPECT_FALSE(CopyIconFromExecutable(liar, OnDisk(target)));
    EXPECT_EQ(ReadFile(target), original);
    // The same lying group in the target stops the removal of its icon.
    EXPECT_FALSE(CopyIconFromIconFile(Write("one.ico", IconFile({{16, 1}})), OnDisk(liar)));
}

TEST_F(IconOperations, StopInALaterLanguageKeepsTheEarlierOnes) {
    // res_broken: "BROKEN" in German lists image 50 (present), in English
    // image 51 (absent). German is copied first and stays.
    const std::string target = Stub();
    EXPECT_TRUE(CopyIconFromExecutable(FixturePath("res_broken.exe"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{kGerman});
    EXPECT_EQ(tree.Names(Num(3)), std::vector<ResourceName>{Num(50)});
    EXPECT_WINE_AGREES(target);
}

TEST_F(IconOperations, OnlyTheFirstGroupIsRemoved) {
    // Two groups in the target: "MAINICON" goes with its images, group 3 stays
    // with its own.
    const std::string target = CopyFixture(dir, "res_named.exe");
    ASSERT_TRUE(CopyIconFromIconFile(Write("one.ico", IconFile({{32, 4}})), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Names(Num(14)), (std::vector<ResourceName>{Text("ZEBRA"), Num(3)}));
    // The new group is in the version language (Czech) and its image 1 beside
    // group 3's English image 1.
    EXPECT_EQ(tree.Languages(Num(14), Text("ZEBRA")), std::vector<uint16_t>{kCzech});
    EXPECT_EQ(tree.Languages(Num(3), Num(1)), (std::vector<uint16_t>{kCzech, kEnglish}));
    EXPECT_EQ(tree.Languages(Num(3), Num(7)),
              std::vector<uint16_t>{kGerman});  // not in the old group's language
    EXPECT_TRUE(tree.Languages(Num(3), Num(8)).empty());
    EXPECT_WINE_AGREES(target);
}

}  // namespace
}  // namespace ql::test
