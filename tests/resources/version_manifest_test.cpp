// Copying version information and writing the elevation manifest, in the
// order the build runs them.
#include <gtest/gtest.h>

#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

constexpr uint16_t kCzech = 1029, kGerman = 1031, kEnglish = 1033;

class VersionAndManifest : public ::testing::Test {
protected:
    VersionAndManifest() : manifestTemplate(ReadFile(QUILLON_MANIFEST)) {}
    std::string Stub() { return CopyFixture(dir, "res_stublike.exe"); }
    TempDir dir;
    const std::string manifestTemplate;
};

TEST_F(VersionAndManifest, EveryVersionBlockIsCopied) {
    const std::string target = Stub();
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    const ResourceTree source = Resources(FixturePath("res_named.exe"));
    EXPECT_EQ(tree.Names(Num(16)), std::vector<ResourceName>{Num(1)});
    EXPECT_EQ(tree.Languages(Num(16), Num(1)), (std::vector<uint16_t>{kCzech, kGerman}));
    for (uint16_t language : {kCzech, kGerman})
        EXPECT_EQ(tree.Find({Num(16), Num(1), language})->data,
                  source.Find({Num(16), Num(1), language})->data);
    EXPECT_EQ(VersionLanguage(target), kCzech);
    EXPECT_WINE_AGREES(target);
}

TEST_F(VersionAndManifest, CopiedVersionReplacesAllOldBlocks) {
    const std::string target = Stub();
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
    ASSERT_TRUE(PutResources(target, {{{Num(16), Text("EXTRA"), 0}, "x"}}));  // and a block of another name
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_numbered.exe"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Names(Num(16)), std::vector<ResourceName>{Num(1)});
    EXPECT_EQ(tree.Languages(Num(16), Num(1)), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(VersionLanguage(target), kEnglish);
    EXPECT_WINE_AGREES(target);
}

TEST_F(VersionAndManifest, SourceWithoutVersionChangesNothing) {
    const std::string target = Stub();
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
    const std::string before = ReadFile(target);
    EXPECT_FALSE(CopyVersionInfo(FixturePath("res_stublike.exe"), OnDisk(target)));
    EXPECT_FALSE(CopyVersionInfo(FixturePath("res_plain.exe"), OnDisk(target)));
    EXPECT_FALSE(CopyVersionInfo(FixturePath("three.ico"), OnDisk(target)));
    EXPECT_FALSE(CopyVersionInfo(dir / "missing.exe", OnDisk(target)));
    EXPECT_EQ(ReadFile(target), before);
}

TEST_F(VersionAndManifest, ManifestLevelsAndLanguage) {
    ASSERT_EQ(manifestTemplate.size(), 420u);
    const std::string plain = Stub();
    WriteElevationManifest(OnDisk(plain), 1, manifestTemplate);
    ResourceTree tree = Resources(plain);
    ASSERT_EQ(tree.Languages(Num(24), Num(1)), std::vector<uint16_t>{0});
    const std::string& highest = tree.Find({Num(24), Num(1), 0})->data;
    EXPECT_EQ(highest.size(), 416u);
    std::string expected = manifestTemplate;
    expected.replace(expected.find("requireAdministrator"), 20, "highestAvailable");
    EXPECT_EQ(highest, expected);
    EXPECT_WINE_AGREES(plain);
    EXPECT_NE(WineListing(plain).find("#24 #1 0 size 416"), std::string::npos);
    EXPECT_NE(WineListing(plain).find("  level highestAvailable\n"), std::string::npos);

    // After copied version information the manifest follows its language; a
    // second manifest replaces the first in that language.
    const std::string versioned = Stub();
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_numbered.exe"), OnDisk(versioned)));
    WriteElevationManifest(OnDisk(versioned), 1, manifestTemplate);
    WriteElevationManifest(OnDisk(versioned), 2, manifestTemplate);
    tree = Resources(versioned);
    ASSERT_EQ(tree.Languages(Num(24), Num(1)), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(tree.Find({Num(24), Num(1), kEnglish})->data, manifestTemplate);
    EXPECT_WINE_AGREES(versioned);
    EXPECT_NE(WineListing(versioned).find("  level requireAdministrator\n"), std::string::npos);
}

TEST_F(VersionAndManifest, UnknownLevelOrUnwritableTargetWritesNothing) {
    const std::string target = Stub();
    const std::string original = ReadFile(target);
    WriteElevationManifest(OnDisk(target), 0, manifestTemplate);
    WriteElevationManifest(OnDisk(target), 3, manifestTemplate);
    EXPECT_EQ(ReadFile(target), original);
    WriteFile(dir / "text.exe", "plain text");
    WriteElevationManifest(OnDisk(dir / "text.exe"), 2, manifestTemplate);
    EXPECT_EQ(ReadFile(dir / "text.exe"), "plain text");
    EXPECT_FALSE(WriteResource(OnDisk(dir / "text.exe"), Num(24), Num(1), "x"));
}

TEST_F(VersionAndManifest, BuildOrderIconVersionManifest) {
    // An SFX built with -ic source.exe -iv -ua: the operations in the build's
    // order, each seeing what the previous one committed.
    const std::string target = Stub();
    ASSERT_TRUE(CopyIconFromExecutable(FixturePath("res_named.exe"), OnDisk(target)));
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
    WriteElevationManifest(OnDisk(target), 2, manifestTemplate);
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{kEnglish});
    EXPECT_EQ(tree.Languages(Num(16), Num(1)), (std::vector<uint16_t>{kCzech, kGerman}));
    EXPECT_EQ(tree.Languages(Num(24), Num(1)), std::vector<uint16_t>{kCzech});
    EXPECT_WINE_AGREES(target);
}

}  // namespace
}  // namespace ql::test
