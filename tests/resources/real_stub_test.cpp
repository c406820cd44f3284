// The operations on the stub images that the builders carry, 32-bit and
// 64-bit: MAINICON in Czech with images 1 to 10, a string table, no version
// information, no manifest, and .rsrc as the last section, so every edit
// applies and nothing stands behind the image when the container is appended.
#include <gtest/gtest.h>

#include "builder/engine/pe_image.h"
#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

class RealStub : public ::testing::TestWithParam<const char*> {
protected:
    RealStub() : target(dir / "sfx.exe") { WriteFile(target, ReadFile(GetParam())); }

    void ExpectUntouchedOthersAndNothingBehind() {
        const ResourceTree before = Resources(GetParam());
        const ResourceTree after = Resources(target);
        before.ForEach([&](const ResourceKey& key, const ResourceEntry& entry) {
            if (key.type == Num(3) || key.type == Num(14)) return;
            ASSERT_NE(after.Find(key), nullptr);
            EXPECT_EQ(after.Find(key)->data, entry.data);
        });
        PeImage image;
        ASSERT_TRUE(image.Parse(ReadFile(target)));
        uint64_t rawEnd = 0;
        for (const PeSection& s : image.Sections())
            if (s.rawSize > 0) rawEnd = std::max<uint64_t>(rawEnd, uint64_t{s.rawPointer} + s.rawSize);
        EXPECT_EQ(rawEnd, image.Bytes().size());
        EXPECT_WINE_AGREES(target);
    }

    TempDir dir;
    const std::string target;
};

TEST_P(RealStub, IconFileWithThreeImages) {
    ASSERT_EQ(Resources(target).Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{1029});
    ASSERT_TRUE(CopyIconFromIconFile(FixturePath("three.ico"), OnDisk(target)));
    const ResourceTree tree = Resources(target);
    EXPECT_TRUE(tree.Find({Num(3), Num(10), 1029}) == nullptr);
    EXPECT_EQ(tree.Names(Num(14)), std::vector<ResourceName>{Text("MAINICON")});
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{0});
    EXPECT_EQ(GroupNumbers(tree.Find({Num(14), Text("MAINICON"), 0})->data),
              (std::vector<uint16_t>{1, 2, 3}));
    EXPECT_EQ(tree.Names(Num(3)), (std::vector<ResourceName>{Num(1), Num(2), Num(3)}));
    for (uint16_t n : {1, 2, 3}) EXPECT_EQ(tree.Languages(Num(3), Num(n)), std::vector<uint16_t>{0});
    ExpectUntouchedOthersAndNothingBehind();
}

TEST_P(RealStub, ExecutableIconVersionAndManifest) {
    ASSERT_TRUE(CopyIconFromExecutable(FixturePath("res_named.exe"), OnDisk(target)));
    ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), OnDisk(target)));
    WriteElevationManifest(OnDisk(target), 1, ReadFile(QUILLON_MANIFEST));
    const ResourceTree tree = Resources(target);
    EXPECT_EQ(tree.Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{1033});
    EXPECT_EQ(tree.Names(Num(3)), (std::vector<ResourceName>{Num(7), Num(8)}));
    EXPECT_EQ(tree.Languages(Num(16), Num(1)), (std::vector<uint16_t>{1029, 1031}));
    EXPECT_EQ(tree.Languages(Num(24), Num(1)), std::vector<uint16_t>{1029});
    EXPECT_EQ(tree.Find({Num(24), Num(1), 1029})->data.size(), 416u);
    ExpectUntouchedOthersAndNothingBehind();
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, RealStub,
                         ::testing::Values(QUILLON_STUB_I686, QUILLON_STUB_X86_64));

}  // namespace
}  // namespace ql::test
