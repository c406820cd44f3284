// The stub and helper images as the cross builds produce them: the resource
// section last with nothing behind it (the builder grows it and appends the
// container there), the icon group the resource editor expects, no version
// information and no manifest, and the container found behind the image.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "shared/container.h"
#include "stub/container_walk.h"
#include "tests/stub/container_fixture.h"

namespace ql::test {
namespace {

constexpr uint32_t kIcon = 3, kString = 6, kGroupIcon = 14, kVersion = 16, kManifest = 24;

struct Section {
    std::string name;
    uint32_t virtualAddress, rawSize, rawOffset;
};

struct Resource {
    uint32_t type;
    std::string name;  // a string name, or the number as decimal text
    uint32_t language;
    std::vector<uint8_t> data;
};

class PeImage {
public:
    explicit PeImage(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (bytes.size() < 0x40) return;
        const uint32_t pe = ReadLE32(&bytes[0x3C]);
        const uint16_t count = ReadLE16(&bytes[pe + 6]);
        const size_t table = pe + 24 + ReadLE16(&bytes[pe + 20]);
        for (uint16_t i = 0; i < count; ++i) {
            const uint8_t* s = &bytes[table + 40 * i];
            sections.push_back(
                {std::string(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), 8)),
                 ReadLE32(s + 12), ReadLE32(s + 16), ReadLE32(s + 20)});
        }
        for (const Section& s : sections)
            if (s.name == ".rsrc") ReadDirectory(s, s.rawOffset, 0, {});
    }

    std::vector<uint8_t> bytes;
    std::vector<Section> sections;
    std::vector<Resource> resources;

private:
    // Three levels: type, name, language.
    void ReadDirectory(const Section& rsrc, uint32_t at, int level, std::vector<std::string> path) {
        const uint16_t entries = ReadLE16(&bytes[at + 12]) + ReadLE16(&bytes[at + 14]);
        for (uint16_t i = 0; i < entries; ++i) {
            const uint32_t id = ReadLE32(&bytes[at + 16 + 8 * i]);
            const uint32_t target = ReadLE32(&bytes[at + 16 + 8 * i + 4]);
            std::string key;
            if (id & 0x80000000u) {
                const uint32_t s = rsrc.rawOffset + (id & 0x7FFFFFFFu);
                for (uint16_t c = 0; c < ReadLE16(&bytes[s]); ++c)
                    key += static_cast<char>(bytes[s + 2 + 2 * c]);
            } else {
                key = std::to_string(id);
            }
            std::vector<std::string> next = path;
            next.push_back(key);
            if (target & 0x80000000u) {
                ReadDirectory(rsrc, rsrc.rawOffset + (target & 0x7FFFFFFFu), level + 1, next);
            } else {
                const uint8_t* entry = &bytes[rsrc.rawOffset + target];
                const uint32_t offset = ReadLE32(entry) - rsrc.virtualAddress + rsrc.rawOffset;
                resources.push_back(
                    {static_cast<uint32_t>(std::stoul(next[0])), next[1],
                     static_cast<uint32_t>(std::stoul(next[2])),
                     std::vector<uint8_t>(&bytes[offset], &bytes[offset] + ReadLE32(entry + 4))});
            }
        }
    }
};

std::string Image(const char* dir, const char* program) { return std::string(dir) + "/" + program; }

void ExpectRsrcLastAndNothingBehind(const PeImage& image) {
    ASSERT_FALSE(image.sections.empty());
    for (const Section& s : image.sections) EXPECT_NE(s.name, ".reloc");
    uint64_t end = 0;
    for (const Section& s : image.sections)
        if (s.rawSize > 0) end = std::max<uint64_t>(end, uint64_t{s.rawOffset} + s.rawSize);
    EXPECT_EQ(end, image.bytes.size());
}

class StubImage : public ::testing::TestWithParam<const char*> {};

TEST_P(StubImage, KeepsItsResourcesLastWithNothingBehindThem) {
    PeImage image(Image(GetParam(), "stub/sfxhead.exe"));
    ASSERT_FALSE(image.bytes.empty());
    ExpectRsrcLastAndNothingBehind(image);
    EXPECT_EQ(image.sections.back().name, ".rsrc");
    EXPECT_LE(image.bytes.size(), 48u * 1024);
}

TEST_P(StubImage, CarriesTheIconGroupTheBuilderReplacesAndNoVersionOrManifest) {
    PeImage image(Image(GetParam(), "stub/sfxhead.exe"));
    std::map<uint32_t, const Resource*> icons;
    const Resource* group = nullptr;
    bool caption = false;
    for (const Resource& r : image.resources) {
        EXPECT_NE(r.type, kVersion);
        EXPECT_NE(r.type, kManifest);
        if (r.type == kGroupIcon) {
            EXPECT_EQ(group, nullptr) << "one icon group only";
            group = &r;
        }
        if (r.type == kIcon) {
            EXPECT_EQ(r.language, 1029u);
            icons[static_cast<uint32_t>(std::stoul(r.name))] = &r;
        }
        caption |= r.type == kString && r.name == "1";
    }
    EXPECT_TRUE(caption);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->name, "MAINICON");
    EXPECT_EQ(group->language, 1029u);
    const std::vector<uint8_t>& g = group->data;
    ASSERT_EQ(g.size(), 6u + 14 * 10);
    ASSERT_EQ(ReadLE16(&g[4]), 10);
    ASSERT_EQ(icons.size(), 10u);
    for (uint16_t i = 0; i < 10; ++i) {
        const uint16_t number = ReadLE16(&g[6 + 14 * i + 12]);
        EXPECT_EQ(number, i + 1);
        ASSERT_TRUE(icons.count(number));
        EXPECT_EQ(ReadLE32(&g[6 + 14 * i + 8]), icons[number]->data.size());
    }
}

TEST_P(StubImage, TheContainerStartsWhereTheImageEnds) {
    PeImage image(Image(GetParam(), "stub/sfxhead.exe"));
    std::vector<uint8_t> bytes = image.bytes;
    uint32_t start = 0;
    MemoryReader bare(bytes);
    EXPECT_EQ(stub::LocateContainer(bare, static_cast<int64_t>(bytes.size()), start), kErrorHandleEof);
    bytes.resize(bytes.size() + config::kSize + kEndRecordSize);
    MemoryReader sfx(bytes);
    EXPECT_EQ(stub::LocateContainer(sfx, static_cast<int64_t>(bytes.size()), start), 0u);
    EXPECT_EQ(start, image.bytes.size());
}

TEST_P(StubImage, TheHelperIsTinyAndCarriesNoResources) {
    PeImage image(Image(GetParam(), "selfdelete/selfdelete.exe"));
    ASSERT_FALSE(image.bytes.empty());
    ExpectRsrcLastAndNothingBehind(image);
    EXPECT_TRUE(image.resources.empty());
    EXPECT_LE(image.bytes.size(), 8u * 1024);
}

// Both travel in every SFX file, so a reproducible build needs them without
// the time they were linked at.
TEST_P(StubImage, StubAndHelperCarryNoLinkTime) {
    for (const char* program : {"stub/sfxhead.exe", "selfdelete/selfdelete.exe"}) {
        PeImage image(Image(GetParam(), program));
        ASSERT_GT(image.bytes.size(), 0x40u) << program;
        EXPECT_EQ(ReadLE32(&image.bytes[ReadLE32(&image.bytes[0x3C]) + 8]), 0u) << program;
    }
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, StubImage,
                         ::testing::Values(QUILLON_WIN_I686_DIR, QUILLON_WIN_X86_64_DIR));

}  // namespace
}  // namespace ql::test
