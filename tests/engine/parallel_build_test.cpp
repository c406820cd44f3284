// Packing on several threads: the same bytes and reports as on one thread,
// and a cancel that still removes the target.
#include <unistd.h>

#include "builder/engine/build_errors.h"
#include "builder/engine/build_run.h"
#include "builder/engine/cancel.h"
#include "builder/engine/entry_writer.h"
#include "tests/support/build_fixture.h"
#include "tests/support/scripted_progress.h"

namespace ql::test {
namespace {

class ParallelBuild : public BuildTest {
protected:
    ParallelBuild() {
        env.showMessages = false;
        options.SelfDeleteMode = true;
        WriteFile(Src("exact.bin"), PatternData(kChunkSize, 1));
        WriteFile(Src("over.bin"), PatternData(kChunkSize + 1, 2));
        MakeFolder(Src("many"));
        for (int i = 0; i < 300; ++i) WriteFile(Src("many/empty" + std::to_string(i)), "");
        for (int i = 0; i < 40; ++i)
            WriteFile(Src("many/small" + std::to_string(i)), PatternData(5000 + i, i));
        WriteFile(Src("text.txt"), std::string(3 * kChunkSize / 2, 't'));  // two chunks that pack well
    }

    // The SFX file and what the progress window was shown, on `threads` threads.
    std::pair<std::string, std::vector<std::string>> Build(unsigned threads) {
        ScriptedProgress progress;
        env.progress = &progress;
        env.packingThreads = threads;
        SeedInstanceIds(7);  // the same identifier each time
        EXPECT_TRUE(BuildSfx(options, env));
        env.progress = nullptr;
        return {ReadFile(options.Target), progress.events};
    }
};

TEST_F(ParallelBuild, AnyNumberOfThreadsWritesTheBytesAndReportsOfOne) {
    const auto [oneBytes, oneEvents] = Build(1);
    std::string error;
    ReadContainer c = ReadSfx(oneBytes, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(c.entries.size(), 1u + 3 + 1 + 340);  // helper, files, a folder and its items
    for (unsigned threads : {2u, 5u}) {
        const auto [bytes, events] = Build(threads);
        EXPECT_TRUE(bytes == oneBytes) << threads << " threads";
        EXPECT_EQ(events, oneEvents) << threads << " threads";
    }
}

TEST_F(ParallelBuild, CancelStopsAtTheNextChunkAndDeletesTheTarget) {
    // A file of two chunks ahead of the others, cancelled when its first chunk is written.
    WriteFile(Src("begin.bin"), PatternData(kChunkSize + 5, 6));
    ScriptedProgress progress;
    std::string shown;
    progress.onSource = [&](const std::string& path) { shown = path; };
    progress.onReport = [&] {
        if (shown == Src("begin.bin")) CancelRequested = true;
    };
    env.progress = &progress;
    env.packingThreads = 4;
    EXPECT_FALSE(BuildSfx(options, env));
    EXPECT_EQ(access(options.Target.c_str(), F_OK), -1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "warning");
    // Its second chunk was not written, though it was read ahead for the packing threads.
    const std::string secondChunk = "report " + std::to_string(kChunkSize) + "/";
    for (const std::string& event : progress.events) EXPECT_NE(event.rfind(secondChunk, 0), 0u) << event;
    // Nothing was shown of the files after the one that was cut short.
    for (const std::string& event : progress.events) EXPECT_EQ(event.find("exact.bin"), std::string::npos);
    for (const std::string& event : progress.events) EXPECT_EQ(event.find("over.bin"), std::string::npos);
}

// Without packing there is one thread and the data stands as it is, with the
// checksums of a packed build.
TEST_F(ParallelBuild, AnUnpackedBuildHoldsTheDataAndChecksumsOfAPackedOne) {
    std::string error;
    const ReadContainer packed = ReadSfx(Build(4).first, error);
    ASSERT_EQ(error, "");
    options.Compression = false;
    const ReadContainer raw = ReadSfx(Build(4).first, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(raw.entries.size(), packed.entries.size());
    for (size_t i = 0; i < raw.entries.size(); ++i) {
        EXPECT_EQ(raw.entries[i].name, packed.entries[i].name);
        EXPECT_TRUE(raw.entries[i].data == packed.entries[i].data) << raw.entries[i].name;
        EXPECT_EQ(raw.entries[i].storedChecksum, packed.entries[i].storedChecksum) << raw.entries[i].name;
    }
}

// The workers read ahead of the writing: a file that cannot be opened, or that
// is shorter than the scan found, still fails the build with the error of one
// thread, after the same bytes.
TEST_F(ParallelBuild, AFileThatFailsOnAWorkerFailsAsOnOneThread) {
    WriteFile(Src("short.bin"), "0123456789");
    auto item = [](const std::string& name, int32_t size) {
        SourceItem it;
        it.nativeName = it.storedName = name;
        it.Size = size;
        it.Attributes = kAttrArchive;
        return it;
    };
    for (const SourceItem& failing : {item("missing.bin", 5), item("short.bin", 100)}) {
        std::vector<std::pair<int, std::string>> results;
        for (unsigned threads : {1u, 4u}) {
            BuildOptions normalised = options;
            normalised.Source += "/";
            env.packingThreads = threads;
            BuildRun run(normalised, env);
            CancelRequested = false;  // as BuildSfx leaves it
            run.items = {item("exact.bin", kChunkSize), item("many/small1", 5001), failing,
                         item("many/small2", 5002), item("text.txt", 3 * kChunkSize / 2)};
            ASSERT_EQ(run.target.Create(options.Target), 0);
            int code = 0;
            try {
                WriteEntries(run);
            } catch (const BuildError& error) {
                code = error.Code();
            }
            FlushTarget(run);
            run.target.Close();
            results.emplace_back(code, ReadFile(options.Target));
        }
        EXPECT_EQ(results[0].first, failing.nativeName == "short.bin" ? kIoReadPastEnd : 2)
            << failing.nativeName;
        EXPECT_EQ(results[1].first, results[0].first) << failing.nativeName;
        EXPECT_TRUE(results[1].second == results[0].second) << failing.nativeName;
        EXPECT_GT(results[0].second.size(), size_t{kChunkSize} / 2) << "the entries before were written";
    }
}

}  // namespace
}  // namespace ql::test
