// The SFX files that BuildSfx writes, read back by an independent reader.
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "builder/engine/build_errors.h"
#include "builder/engine/pack_chunk.h"
#include "shared/container.h"
#include "tests/support/build_fixture.h"

namespace ql::test {
namespace {

TEST_F(BuildTest, EmptySourceIsStubConfigAndEndRecord) {
    ReadContainer c = BuildAndRead();
    EXPECT_EQ(ReadFile(options.Target).size(), stub.size() + 2330 + 17);
    EXPECT_EQ(c.start, stub.size());
    EXPECT_EQ(ReadFile(options.Target).substr(0, stub.size()), stub);
    EXPECT_TRUE(c.entries.empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "information");
    EXPECT_EQ(dialogs.shown[0].text, "该自解压文件创建成功！");
}

TEST_F(BuildTest, ConfigBlockCarriesEveryOption) {
    options.ExtractionMode = 1;
    WriteFile(Src("run.exe"), "MZ");
    options.ExecutableFile = Src("run.exe");
    options.ExtractionFolder = 5;
    options.CmdParameters = "  " + std::string(3000, 'p') + " ";
    options.CustomFolder = std::string(300, 'c');
    options.OpenFolder = true;
    options.OneInstance = true;
    options.SilentMode = true;
    options.SelfDeleteMode = true;
    options.DeleteMode = 2;
    options.WorkingDirectory = 1;
    options.OverwriteMode = 2;
    const std::string& b = BuildAndRead().config;
    ASSERT_EQ(b.size(), config::kSize);
    EXPECT_EQ(b[config::kExtractionMode], 1);
    EXPECT_EQ(b[config::kExtractionFolder], 5);
    // Over-long texts are cut to what the block holds, followed by a zero byte.
    EXPECT_EQ(b.substr(config::kCmdParameters, 2048), std::string(2047, 'p') + '\0');
    EXPECT_EQ(b.substr(config::kCustomFolder, 261), std::string(260, 'c') + '\0');
    std::string id = b.substr(config::kInstanceId, 11);
    EXPECT_EQ(id.substr(0, 2), "00");
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), 10u);
    EXPECT_EQ(id[10], '\0');
    for (size_t field : {config::kOpenFolder, config::kCompression, config::kOneInstance, config::kSilentMode,
                         config::kSelfDeleteMode})
        EXPECT_EQ(b[field], 1) << field;
    EXPECT_EQ(b[config::kDeleteMode], 2);
    EXPECT_EQ(b[config::kWorkingDirectory], 1);
    EXPECT_EQ(b[config::kOverwriteMode], 2);
}

TEST_F(BuildTest, ShortTextsAreZeroPaddedAndEachBuildDrawsANewInstanceId) {
    options.CmdParameters = "/quiet";
    std::string first = BuildAndRead().config;
    EXPECT_EQ(first.substr(config::kCmdParameters, 2048), "/quiet" + std::string(2042, '\0'));
    EXPECT_EQ(first.substr(config::kCustomFolder, 261), std::string(261, '\0'));
    std::string second = BuildAndRead().config;
    EXPECT_NE(first.substr(config::kInstanceId, 10), second.substr(config::kInstanceId, 10));
}

TEST_F(BuildTest, EntriesFollowTheTreeFoldersFirst) {
    WriteFile(Src("a.txt"), "alpha");
    MakeFolder(Src("b"));
    WriteFile(Src("b/c.txt"), "gamma");
    MakeFolder(Src("b/empty"));
    WriteFile(Src("abc"), "");
    ReadContainer c = BuildAndRead();
    std::vector<std::string> names;
    for (const auto& e : c.entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "abc", "b", "b\\c.txt", "b\\empty"}));

    const ReadEntry& folder = c.entries[2];
    EXPECT_EQ(folder.attributes & 0x10, 0x10u);
    EXPECT_EQ(folder.size, 0);
    EXPECT_EQ(folder.byteSize, 21u + 1);  // header, name, checksum
    EXPECT_EQ(c.entries[3].data, "gamma");

    const ReadEntry& empty = c.entries[1];
    EXPECT_EQ(empty.byteSize, 17u + 3 + 4);
    EXPECT_EQ(empty.storedChecksum, 294u);  // "abc" alone
    EXPECT_TRUE(empty.chunkLengths.empty());
    for (const auto& e : c.entries) EXPECT_EQ(e.type, 0) << e.name;
}

TEST_F(BuildTest, ChunksHoldNineMebibytesEach) {
    std::string exact = PatternData(kChunkSize, 1), over = PatternData(kChunkSize + 1, 2);
    WriteFile(Src("exact.bin"), exact);
    WriteFile(Src("over.bin"), over);
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 2u);
    EXPECT_EQ(c.entries[0].chunkLengths, std::vector<uint32_t>{kChunkSize});
    EXPECT_EQ(c.entries[1].chunkLengths, (std::vector<uint32_t>{kChunkSize, 1}));
    EXPECT_EQ(c.entries[0].data, exact);
    EXPECT_EQ(c.entries[1].data, over);
}

TEST_F(BuildTest, RunModeMarksOnlyTheProgramAndSelfDeleteAddsTheHelperFirst) {
    WriteFile(Src("setup.exe"), "MZ setup");
    WriteFile(Src("setup.exe.txt"), "not the program");
    options.ExtractionMode = 1;
    options.ExecutableFile = Src("setup.exe");
    options.SelfDeleteMode = true;
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 3u);
    const ReadEntry& h = c.entries[0];
    EXPECT_EQ(h.type, 2);
    EXPECT_EQ(h.name, "xsfxdel~.exe");
    EXPECT_EQ(h.fileTime, 0u);
    EXPECT_EQ(h.attributes, 0u);
    EXPECT_EQ(h.data, helper);
    EXPECT_EQ(h.chunkLengths.size(), 1u);
    EXPECT_EQ(c.entries[1].type, 1);
    EXPECT_EQ(c.entries[2].type, 0);
}

TEST_F(BuildTest, ATargetInsideTheSourceIsNotPackedIntoItself) {
    WriteFile(Src("keep.txt"), "keep");
    options.Target = Src("old.exe");
    WriteFile(options.Target, "an SFX from an earlier build");
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].name, "keep.txt");
}

TEST_F(BuildTest, AnEarlierTargetReachedThroughALinkedSourceIsNotPackedIntoItself) {
    MakeFolder(dir / "real");
    WriteFile(dir / "real/keep.txt", "keep");
    WriteFile(dir / "real/old.exe", "an SFX from an earlier build");
    WriteFile(dir / "real/twin.exe", "an SFX from an earlier build");  // same size, another file
    ASSERT_EQ(symlink("real", (dir / "alias").c_str()), 0);
    options.Source = dir / "alias";
    options.Target = dir / "real/old.exe";
    ReadContainer c = BuildAndRead();
    ASSERT_EQ(c.entries.size(), 2u);
    EXPECT_EQ(c.entries[0].name, "keep.txt");
    EXPECT_EQ(c.entries[1].name, "twin.exe");
}

TEST_F(BuildTest, ATargetThatIsALinkIsReplacedThroughTheLink) {
    MakeFolder(dir / "real");
    WriteFile(dir / "real/setup.exe", "old");
    ASSERT_EQ(symlink("real/setup.exe", options.Target.c_str()), 0);
    WriteFile(Src("a.txt"), "a");
    BuildAndRead();
    struct stat st;
    ASSERT_EQ(lstat(options.Target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(dir / "real/setup.exe"), ReadFile(options.Target));
    EXPECT_EQ(ReadFile(options.Target).compare(0, stub.size(), stub), 0);
}

TEST_F(BuildTest, MissingTargetFoldersAreCreated) {
    options.Target = dir / "new/deeper/out.exe";
    WriteFile(Src("a"), "a");
    EXPECT_EQ(BuildAndRead().entries.size(), 1u);
}

TEST(ChunkPacker, EveryLevelMakesOneZlibStreamOfTheDataAndAlwaysTheSameBytes) {
    std::string data = PatternData(100000, 3) + std::string(100000, 'x');
    for (int level : {kFastestCompressionLevel, kDefaultCompressionLevel, kSmallestCompressionLevel}) {
        ChunkPacker packer(level), another(level);
        std::vector<uint8_t> packed(ChunkPacker::Bound(data.size())), again(packed.size());
        const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
        packed.resize(packer.Pack(bytes, data.size(), packed.data()));
        again.resize(another.Pack(bytes, data.size(), again.data()));
        EXPECT_EQ(packed, again) << level;
        // zlib's own reader takes it as one complete stream with nothing behind it.
        std::string unpacked(data.size() + 1, '\0');
        z_stream stream{};
        ASSERT_EQ(inflateInit(&stream), Z_OK);
        stream.next_in = packed.data();
        stream.avail_in = static_cast<uInt>(packed.size());
        stream.next_out = reinterpret_cast<Bytef*>(unpacked.data());
        stream.avail_out = static_cast<uInt>(unpacked.size());
        EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END) << level;
        EXPECT_EQ(stream.avail_in, 0u) << level;
        unpacked.resize(stream.total_out);
        inflateEnd(&stream);
        EXPECT_EQ(unpacked, data) << level;
    }
    EXPECT_THROW(ChunkPacker(13), BuildError);
}

TEST(ByteSum, WrapsAtThirtyTwoBits) {
    EXPECT_EQ(ByteSum("abc", 3), 294u);
    std::string ff(0x1010102, '\xff');
    EXPECT_EQ(ByteSum(ff.data(), ff.size()), static_cast<uint32_t>(0x1010102ull * 255));
}

}  // namespace
}  // namespace ql::test
