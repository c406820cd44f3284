// Across the two sides of the format: an SFX file written by the builder's
// engine is located, sized and extracted by the stub's walk, compiled natively.
#include <gtest/gtest.h>

#include "tests/stub/container_fixture.h"
#include "tests/support/build_fixture.h"

namespace ql::test {
namespace {

class BuilderRoundTrip : public BuildTest {
protected:
    BuilderRoundTrip() {
        env.showMessages = false;
        MakeFolder(dir / "src/sub");
        MakeFolder(dir / "src/sub/empty");
        WriteFile(dir / "src/a.txt", "hello");
        WriteFile(dir / "src/sub/zero.bin", "");
        big = PatternData(kChunkSize + 1, 8);  // two chunks
        WriteFile(dir / "src/sub/big.bin", big);
    }

    // Builds, then runs the stub's three steps over the result.
    stub::Failure BuildAndExtract(RecordingSink& sink, int64_t& total) {
        EXPECT_TRUE(BuildSfx(options, env));
        const std::string file = ReadFile(options.Target);
        bytes.assign(file.begin(), file.end());
        MemoryReader reader(bytes);
        uint32_t start = 0;
        EXPECT_EQ(stub::LocateContainer(reader, static_cast<int64_t>(bytes.size()), start), 0u);
        EXPECT_EQ(start, stub.size());
        stub::EntryTotals totals;
        EXPECT_EQ(stub::SizeEntries(reader, start, static_cast<int64_t>(bytes.size()), true, totals, nullptr),
                  0u);
        total = totals.size;
        return Extract(bytes, start, true, sink);
    }

    std::string big;
    std::vector<uint8_t> bytes;
};

TEST_F(BuilderRoundTrip, TheStubExtractsWhatTheBuilderWrote) {
    RecordingSink sink;
    int64_t total = 0;
    ASSERT_EQ(BuildAndExtract(sink, total).code, 0u);
    EXPECT_EQ(total, static_cast<int64_t>(big.size()) + 5);
    EXPECT_EQ(sink.files["X:\\out\\a.txt"].data, "hello");
    EXPECT_EQ(sink.files["X:\\out\\sub\\big.bin"].data, big);
    EXPECT_TRUE(sink.files["X:\\out\\sub\\zero.bin"].ended);
    EXPECT_EQ(sink.files.size(), 3u);
    EXPECT_EQ(sink.folders, (std::vector<std::string>{"X:\\out\\sub", "X:\\out\\sub\\empty"}));
    EXPECT_TRUE(sink.attributes["X:\\out\\sub"] & kAttrDirectory);
    EXPECT_NE(sink.files["X:\\out\\a.txt"].time, 0u);
    EXPECT_EQ(sink.progress, total);
}

TEST_F(BuilderRoundTrip, TheHelperEntryGoesToTheTemporaryFolderAndCountsInTheTotal) {
    options.SelfDeleteMode = true;
    RecordingSink sink;
    int64_t total = 0;
    ASSERT_EQ(BuildAndExtract(sink, total).code, 0u);
    EXPECT_EQ(total, static_cast<int64_t>(big.size() + 5 + helper.size()));
    ASSERT_FALSE(sink.order.empty());
    EXPECT_EQ(sink.order.front(), "X:\\tmp\\xsfxdel~.exe");
    EXPECT_EQ(sink.files["X:\\tmp\\xsfxdel~.exe"].data, helper);
}

}  // namespace
}  // namespace ql::test
