// The operations on the stub images that the builders carry, 32-bit and
// 64-bit: the stub keeps .rsrc as its last section, so every edit applies and
// nothing stands behind the image for the container to be appended after.
#include <gtest/gtest.h>

#include "builder/engine/pe_image.h"
#include "builder/engine/stub_resources.h"
#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

TEST(RealStub, IconVersionAndManifestApplyToBothStubs) {
    for (const char* stub : {QUILLON_STUB_I686, QUILLON_STUB_X86_64}) {
        SCOPED_TRACE(stub);
        TempDir dir;
        const std::string target = dir / "sfx.exe";
        WriteFile(target, ReadFile(stub));
        const ResourceTree before = Resources(target);
        ASSERT_TRUE(CopyIconFromIconFile(FixturePath("three.ico"), target));
        ASSERT_TRUE(CopyVersionInfo(FixturePath("res_named.exe"), target));
        WriteElevationManifest(target, 1, ReadFile(QUILLON_MANIFEST));
        const ResourceTree after = Resources(target);
        const std::vector<ResourceName> groups = after.Names(Num(14));
        ASSERT_FALSE(groups.empty());
        EXPECT_EQ(groups.front(), before.Names(Num(14)).empty() ? Num(1) : before.Names(Num(14)).front());
        EXPECT_EQ(after.Languages(Num(14), groups.front()), std::vector<uint16_t>{0});
        EXPECT_EQ(after.Languages(Num(24), Num(1)), std::vector<uint16_t>{1029});
        // Resources other than icons, version and manifest are untouched.
        before.ForEach([&](const ResourceKey& key, const ResourceEntry& entry) {
            if (key.type == Num(3) || key.type == Num(14) || key.type == Num(16) || key.type == Num(24)) return;
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
}

}  // namespace
}  // namespace ql::test
