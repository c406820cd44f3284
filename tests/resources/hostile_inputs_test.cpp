// Icon files, executables and targets made to hurt: each is refused within
// its budget with a message naming the file, and a failed resource step ends
// the build saying which step failed instead of dropping it, or a later one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "builder/engine/build_errors.h"
#include "builder/engine/byte_fields.h"
#include "shared/container.h"
#include "tests/resources/resource_support.h"
#include "tests/support/build_fixture.h"

namespace ql::test {
namespace {

// A PE32 image whose one section holds `directory` as its resource directory.
std::string PeWithResources(const std::string& directory) {
    const uint32_t size = static_cast<uint32_t>(directory.size());
    const uint32_t raw = (size + 0x1FF) & ~0x1FFu;
    std::string pe(0x200 + raw, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    PutLe32(pe, 0x3C, 0x40);
    std::memcpy(&pe[0x40], "PE\0\0", 4);
    PutLe16(pe, 0x44, 0x14C);  // i386
    PutLe16(pe, 0x46, 1);      // one section
    PutLe16(pe, 0x54, 0xE0);   // optional header size
    const size_t opt = 0x58;
    PutLe16(pe, opt, 0x10B);
    PutLe32(pe, opt + 32, 0x1000);  // section alignment
    PutLe32(pe, opt + 36, 0x200);   // file alignment
    PutLe32(pe, opt + 56, 0x1000 + ((size + 0xFFF) & ~0xFFFu));
    PutLe32(pe, opt + 60, 0x200);  // size of headers
    PutLe32(pe, opt + 92, 16);     // data directories
    PutLe32(pe, opt + 96 + 16, 0x1000);
    PutLe32(pe, opt + 96 + 20, size);
    const size_t section = opt + 0xE0;
    std::memcpy(&pe[section], ".rsrc", 5);
    PutLe32(pe, section + 8, size);
    PutLe32(pe, section + 12, 0x1000);
    PutLe32(pe, section + 16, raw);
    PutLe32(pe, section + 20, 0x200);
    pe.replace(0x200, size, directory);
    return pe;
}

// A directory table header listing `named` string-named and `numbered` entries.
std::string TableHeader(uint16_t named, uint16_t numbered) {
    std::string header(16, '\0');
    PutLe16(header, 12, named);
    PutLe16(header, 14, numbered);
    return header;
}

std::string Entry(uint32_t name, uint32_t target) {
    std::string entry(8, '\0');
    PutLe32(entry, 0, name);
    PutLe32(entry, 4, target);
    return entry;
}

using HostileInputs = ResourceFilesTest;

TEST_F(HostileInputs, IconFilesBeyondTheBudgetsAreRefusedNamingTheFile) {
    // 200 entries that all point at the same image: 200 times its size from a small file.
    std::string shared = IconFile({{16, 1}});
    const std::string firstEntry = shared.substr(6, 16);
    PutLe16(shared, 4, 200);
    std::string entries;
    for (int i = 0; i < 200; ++i) entries += firstEntry;
    const uint32_t imageAt = 6 + 16 * 200;
    for (int i = 0; i < 200; ++i) PutLe32(entries, 16 * i + 12, imageAt);
    shared = shared.substr(0, 6) + entries + shared.substr(6 + 16);
    std::string many = IconFile({{16, 1}});
    PutLe16(many, 4, 257);
    const std::vector<std::tuple<const char*, std::string, const char*>> cases{
        {"no images", IconFile({}), "不含图像"},
        {"more than 256 images", many, "超过 256"},
        {"entries sharing their bytes", shared, "互相重叠"},
    };
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const std::string original = ReadFile(target);
    for (const auto& [what, content, reason] : cases) {
        SCOPED_TRACE(what);
        const std::string ico = Write("hostile.ico", content);
        std::string problem;
        EXPECT_FALSE(CopyIconFromIconFile(ico, OnDisk(target), &problem));
        EXPECT_NE(problem.find(ico), std::string::npos) << problem;
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
        EXPECT_EQ(ReadFile(target), original);
    }
    const std::string huge = Write("huge.ico", IconFile({{16, 1}}));
    ASSERT_EQ(truncate(huge.c_str(), 33 << 20), 0);  // sparse: costs no disk space
    std::string problem;
    EXPECT_FALSE(CopyIconFromIconFile(huge, OnDisk(target), &problem));
    EXPECT_NE(problem.find("32 MB"), std::string::npos) << problem;
}

// A group repeated in many languages over the same images gives one group
// and each image once; images beyond the icon budget refuse the step.
TEST_F(HostileInputs, IconsFromProgramsAreCopiedOnceWithinTheBudget) {
    auto program = [&](const std::string& name, const std::vector<std::string>& images, uint16_t languages) {
        const std::string path = Write(name, ReadFile(FixturePath("res_plain.exe")));
        FileUpdate update;
        EXPECT_TRUE(update.Begin(path));
        std::string group = std::string("\0\0\1\0", 4) + std::string(2, '\0');
        PutLe16(group, 4, static_cast<uint16_t>(images.size()));
        for (size_t i = 0; i < images.size(); ++i) {
            std::string entry(14, '\0');
            PutLe32(entry, 8, static_cast<uint32_t>(images[i].size()));
            PutLe16(entry, 12, static_cast<uint16_t>(i + 1));
            group += entry;
            EXPECT_TRUE(update.Put({Num(3), Num(static_cast<uint16_t>(i + 1)), 0}, images[i]));
        }
        for (uint16_t language = 1; language <= languages; ++language)
            EXPECT_TRUE(update.Put({Num(14), Num(1), language}, group));
        EXPECT_TRUE(update.End(true));
        return path;
    };
    const std::string image = PatternData(200000, 7);
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const uint64_t before = ReadFile(target).size();
    ASSERT_TRUE(CopyIconFromExecutable(program("many.exe", {image, image}, 400), OnDisk(target)));
    EXPECT_LT(ReadFile(target).size(), before + 3 * image.size());
    EXPECT_EQ(Resources(target).Languages(Num(14), Text("MAINICON")), std::vector<uint16_t>{1});

    const std::string huge = program("huge.exe", {PatternData(17 << 20, 1), PatternData(17 << 20, 2)}, 1);
    const std::string original = ReadFile(target);
    std::string problem;
    EXPECT_FALSE(CopyIconFromExecutable(huge, OnDisk(target), &problem));
    EXPECT_NE(problem.find(huge), std::string::npos) << problem;
    EXPECT_NE(problem.find("32 MB"), std::string::npos) << problem;
    EXPECT_EQ(ReadFile(target), original);
}

TEST_F(HostileInputs, TablesSharedByManyEntriesDoNotMultiplyTheWork) {
    // 1024 types, each leading to the same table of 1024 names: over a million
    // entries to visit from a directory of 16 KiB.
    constexpr uint16_t kCount = 1024;
    const uint32_t names = 16 + 8 * kCount, languages = names + 16 + 8 * kCount;
    std::string directory = TableHeader(0, kCount);
    for (uint32_t i = 1; i <= kCount; ++i) directory += Entry(i, 0x80000000u | names);
    directory += TableHeader(0, kCount);
    for (uint32_t i = 1; i <= kCount; ++i) directory += Entry(i, 0x80000000u | languages);
    directory += TableHeader(0, 0);
    const std::string exe = Write("fan.exe", PeWithResources(directory));
    ResourceTree tree;
    std::string problem;
    EXPECT_FALSE(LoadResources(exe, tree, &problem));
    EXPECT_EQ(problem, "资源目录超出限制");
}

TEST_F(HostileInputs, OverlappingLongNamesDoNotExhaustMemory) {
    // 4000 names of 16 to 32 thousand characters each, all cut from one string.
    constexpr uint32_t kCount = 4000;
    const uint32_t empty = 16 + 8 * kCount, text = empty + 16;
    std::string directory = TableHeader(kCount, 0);
    for (uint32_t i = 0; i < kCount; ++i)
        directory += Entry(0x80000000u | (text + 2 * i), 0x80000000u | empty);
    directory += TableHeader(0, 0);
    std::string words(2 * (kCount + 0x8000), '\0');
    for (uint32_t i = 0; i < kCount + 0x8000; ++i)
        PutLe16(words, 2 * i, static_cast<uint16_t>(0x4000 | (i & 0x3FFF)));
    const std::string exe = Write("names.exe", PeWithResources(directory + words));
    ResourceTree tree;
    std::string problem;
    EXPECT_FALSE(LoadResources(exe, tree, &problem));
    EXPECT_EQ(problem, "资源目录超出限制");
}

TEST_F(HostileInputs, AShortVersionBlockDoesNotCostTheManifest) {
    // A node of 10 bytes whose key leaves no room for the padding behind it.
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    ASSERT_TRUE(PutResources(target, {{{Num(16), Num(1), 0}, std::string("\x0A\0\0\0\0\0a\0\0\0\0\0", 12)}}));
    EXPECT_EQ(VersionLanguage(target), 0);
    EXPECT_TRUE(WriteElevationManifest(OnDisk(target), 2, "<manifest/>"));
    const ResourceTree tree = Resources(target);
    const ResourceEntry* manifest = tree.Find({Num(24), Num(1), 0});
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(manifest->data, "<manifest/>");
}

TEST_F(HostileInputs, AFileAlignmentAbove64KiBIsNoTargetToRewrite) {
    std::string image = ReadFile(FixturePath("res_stublike.exe"));
    const uint32_t opt = Le32(image, 0x3C) + 24;
    PutLe32(image, opt + 36, 0x20000);
    const std::string target = Write("aligned.exe", image);
    std::string problem;
    EXPECT_FALSE(CopyIconFromIconFile(FixturePath("three.ico"), OnDisk(target), &problem));
    EXPECT_NE(problem.find(target), std::string::npos) << problem;
    EXPECT_EQ(ReadFile(target), image);
}

// The resource steps of a build on the real stub.
class ResourceSteps : public BuildTest {
protected:
    ResourceSteps() {
        realStub = ReadFile(QUILLON_STUB_X86_64);
        env.stubImage = realStub;
        env.editResources = true;
        WriteFile(Src("a.txt"), "a");
    }
    std::string realStub;
};

TEST_F(ResourceSteps, AFailedStepEndsTheBuildSayingWhichAndWhy) {
    options.Icon = dir / "empty.ico";
    WriteFile(options.Icon, IconFile({}));
    WriteFile(options.Target, "the SFX file of an earlier build");
    try {
        BuildSfx(options, env);
        ADD_FAILURE() << "the build went on";
    } catch (const BuildError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("复制图标失败", 0), 0u) << message;
        EXPECT_NE(message.find(options.Icon), std::string::npos) << message;
    }
    EXPECT_EQ(ReadFile(options.Target), "the SFX file of an earlier build");
}

TEST_F(ResourceSteps, AnIconThatIsNeitherIconFileNorProgramEndsTheBuild) {
    options.Icon = dir / "notes.png";
    WriteFile(options.Icon, "not an image, not a program");
    try {
        BuildSfx(options, env);
        ADD_FAILURE() << "the build went on";
    } catch (const BuildError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("复制图标失败", 0), 0u) << message;
        EXPECT_NE(message.find(options.Icon), std::string::npos) << message;
    }
    EXPECT_EQ(access(options.Target.c_str(), F_OK), -1);
}

TEST_F(ResourceSteps, AProgramWithAShortVersionBlockKeepsTheManifest) {
    const std::string program = Src("setup.exe");
    WriteFile(program, ReadFile(FixturePath("res_plain.exe")));
    ASSERT_TRUE(
        PutResources(program, {{{Num(16), Num(1), 0}, std::string("\x0A\0\0\0\0\0a\0\0\0\0\0", 12)}}));
    options.ExtractionMode = 1;
    options.ExecutableFile = program;
    options.UACAutoElevation = 2;
    BuildAndRead();
    const ResourceTree tree = Resources(options.Target);
    const ResourceEntry* manifest = tree.Find({Num(24), Num(1), 0});
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(manifest->data, "<manifest/>");
}

TEST_F(ResourceSteps, AReadOnlyTargetIsLeftAlone) {
    // The steps edit the stub in memory; a target that cannot be replaced is never written.
    options.Icon = FixturePath("res_named.exe");
    env.hasSwitch = [](const std::string& name) { return name == "iv"; };
    options.UACAutoElevation = 2;
    WriteFile(options.Target, "old");
    ASSERT_EQ(chmod(options.Target.c_str(), 0444), 0);
    EXPECT_THROW(BuildSfx(options, env), BuildError);
    EXPECT_EQ(ReadFile(options.Target), "old");
}

TEST_F(ResourceSteps, AProgramWithNothingToCopyIsNoFailure) {
    // No icon group and no version information; then no executable image at all.
    for (const std::string& content :
         {ReadFile(FixturePath("res_plain.exe")), std::string("@echo off\r\n")}) {
        WriteFile(Src("setup.exe"), content);
        options.ExtractionMode = 1;
        options.ExecutableFile = Src("setup.exe");
        BuildAndRead();
        EXPECT_EQ(Resources(options.Target).Names(Num(14)), std::vector<ResourceName>{Text("MAINICON")});
    }
}

}  // namespace
}  // namespace ql::test
