// --list, --test and --extract over SFX files that the engine wrote, intact
// and damaged in the ways a transfer or a hand can damage them.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <sstream>

#include "builder/cli/sfx_inspect.h"
#include "platform/text.h"
#include "tests/stub/container_fixture.h"
#include "tests/support/build_fixture.h"
#include "tests/support/time_zone.h"

namespace ql::test {
namespace {

class SfxInspect : public BuildTest {
protected:
    SfxInspect() {
        env.showMessages = false;
        options.SelfDeleteMode = true;
        WriteFile(Src("a.txt"), "alpha");
        MakeFolder(Src("sub"));
        MakeFolder(Src("sub/empty"));
        WriteFile(Src("sub/data.bin"), PatternData(200000, 3));
        WriteFile(Src("z.txt"), std::string(5000, 'z'));
    }
    // A test that changes the code page leaves the default behind, also when it fails.
    ~SfxInspect() override { platform::SetAnsiCodePage(1252); }

    // The SFX file, and its entries as the independent reader sees them.
    void Build() { container = BuildAndRead(&sfx); }

    const ReadEntry& Entry(const std::string& name) const {
        if (const ReadEntry* entry = FindEntry(container, name)) return *entry;
        ADD_FAILURE() << name;
        return container.entries.front();
    }

    // The SFX file with the entry `from` renamed to `to` (as long) and its
    // checksum made to fit, as a hand would alter it after the build.
    std::string Renamed(const std::string& from, const std::string& to) {
        const ReadEntry& entry = Entry(from);
        std::string bytes = sfx;
        bytes.replace(entry.offset + kEntryHeaderSize, to.size(), to);
        uint8_t* checksum = reinterpret_cast<uint8_t*>(&bytes[entry.offset + entry.byteSize - kChecksumSize]);
        WriteLE32(checksum,
                  ReadLE32(checksum) - ByteSum(from.data(), from.size()) + ByteSum(to.data(), to.size()));
        return bytes;
    }

    // Runs `check` on `bytes` written to a file: the exit status, with what it said.
    int Run(int (*check)(const std::string&, std::ostream&, std::ostream&), const std::string& bytes) {
        const std::string path = dir / "damaged.exe";
        WriteFile(path, bytes);
        out.str("");
        err.str("");
        return check(path, out, err);
    }

    std::string sfx;
    ReadContainer container;
    std::ostringstream out, err;
};

TEST_F(SfxInspect, TestFindsEachFaultAndNamesTheEntry) {
    Build();
    EXPECT_EQ(Run(TestSfx, sfx), 0) << err.str();
    EXPECT_NE(out.str().find("OK: 4 files and 2 folders"), std::string::npos) << out.str();

    std::string flipped = sfx;  // a bit in the middle of the data's packed stream
    const ReadEntry& data = Entry("sub\\data.bin");
    flipped[data.offset + data.byteSize / 2] ^= 0x10;
    EXPECT_EQ(Run(TestSfx, flipped), 1);
    EXPECT_NE(err.str().find("entry 'sub\\data.bin'"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("damaged"), std::string::npos) << err.str();

    std::string sum = sfx;  // the stored checksum of a.txt, off by one
    const ReadEntry& a = Entry("a.txt");
    sum[a.offset + a.byteSize - 4] ^= 1;
    EXPECT_EQ(Run(TestSfx, sum), 1);
    EXPECT_NE(err.str().find("entry 'a.txt'"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("checksum"), std::string::npos) << err.str();

    const std::string cut = sfx.substr(0, sfx.size() - kEndRecordSize);
    EXPECT_EQ(Run(TestSfx, cut), 1);
    EXPECT_NE(err.str().find("end record is missing: the file ends after entry 'z.txt'"), std::string::npos)
        << err.str();

    EXPECT_EQ(Run(TestSfx, sfx + "junk"), 1);
    EXPECT_NE(err.str().find("4 bytes follow the end record"), std::string::npos) << err.str();
}

// Files that the SFX file itself would refuse to extract or to run: --test
// refuses them too, naming why.
TEST_F(SfxInspect, TestAppliesTheRulesOfTheSfxFile) {
    Build();
    EXPECT_EQ(Run(TestSfx, Renamed("sub\\data.bin", "a.txt\\da.bin")), 1);
    EXPECT_NE(err.str().find("entry 'a.txt\\da.bin' (offset"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("inside the file entry 'a.txt'"), std::string::npos) << err.str();

    std::string run = sfx;  // run mode, with no program among the entries
    run[container.start + config::kExtractionMode] = 1;
    EXPECT_EQ(Run(TestSfx, run), 1);
    EXPECT_NE(err.str().find("no entry is the program"), std::string::npos) << err.str();

    std::string id = sfx;
    id.replace(container.start + config::kInstanceId, 8, "\\..\\..\\x");
    EXPECT_EQ(Run(TestSfx, id), 1);
    EXPECT_NE(err.str().find("instance identifier '\\..\\..\\x"), std::string::npos) << err.str();

    EXPECT_EQ(Run(TestSfx, Renamed("a.txt", "\x1b]0;x")), 1);  // a control character, shown escaped
    EXPECT_NE(err.str().find("entry '\\x1b]0;x'"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
}

TEST_F(SfxInspect, ListShowsTheConfigurationAndEveryEntry) {
    options.ExtractionFolder = 5;
    options.CustomFolder = "%TEMP%\\app";
    Build();
    ASSERT_EQ(Run(ListSfx, sfx), 0) << err.str();
    const std::string listing = out.str();
    for (const char* line : {"custom folder      %TEMP%\\app\\", "self-delete        yes", "xsfxdel~.exe",
                             " sub\\data.bin\n", " sub\\empty\n", "4 files and 2 folders"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
}

TEST_F(SfxInspect, ExtractWritesTheTreeWithTimesAndReadOnlyFiles) {
    ScopedTimeZone berlin("Europe/Berlin");
    WriteFile(Src("caf\xc3\xa9.txt"), "latte");
    chmod(Src("z.txt").c_str(), 0444);
    struct utimbuf when {
        1700000000, 1700000000
    };  // an even second
    utime(Src("a.txt").c_str(), &when);
    Build();
    const std::string target = dir / "out";
    ASSERT_EQ(ExtractSfx(options.Target, target, out, err), 0) << err.str();

    EXPECT_EQ(ReadFile(target + "/sub/data.bin"), PatternData(200000, 3));
    EXPECT_EQ(ReadFile(target + "/caf\xc3\xa9.txt"), "latte");
    struct stat st;
    ASSERT_EQ(stat((target + "/sub/empty").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(stat((target + "/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000000);
    ASSERT_EQ(stat((target + "/z.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(access((target + "/xsfxdel~.exe").c_str(), F_OK), -1);  // the helper is no part of the tree
    EXPECT_NE(out.str().find("Extracted 4 files and 2 folders"), std::string::npos) << out.str();
}

TEST_F(SfxInspect, ExtractRefusesAnUnsafeNameAndWritesNothing) {
    WriteFile(Src("abcdefg"), "would land outside");
    Build();
    std::string bytes = sfx;
    const ReadEntry& entry = Entry("abcdefg");
    bytes.replace(entry.offset + kEntryHeaderSize, 7, "..\\defg");  // the same length
    WriteFile(dir / "bad.exe", bytes);
    const std::string target = dir / "place/out";
    EXPECT_EQ(ExtractSfx(dir / "bad.exe", target, out, err), 1);
    EXPECT_NE(err.str().find("entry '..\\defg'"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("unsafe name"), std::string::npos) << err.str();
    EXPECT_EQ(access((dir / "place").c_str(), F_OK), -1);
}

// What --extract finds before it writes anything: the entries as Windows
// would take them, and the names as they convert here.
TEST_F(SfxInspect, ExtractChecksEveryNameBeforeTheFirstWrite) {
    const std::string longName(130, 'x');
    WriteFile(Src(longName), "long");
    Build();
    const struct {
        const char* from;
        std::string to;
        const char* why;
    } cases[] = {
        {"sub\\data.bin", "a.txt\\da.bin", "inside the file entry 'a.txt'"},
        {"z.txt", "A.TXT", "has the name of entry 'a.txt' but for case"},
        {"z.txt", "z\x81.tx", "cannot be converted from code page 1252"},
        {longName.c_str(), std::string(130, '\xE9'), "bytes long here"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "bad.exe", Renamed(c.from, c.to));
        const std::string target = dir / "place/out";
        err.str("");
        EXPECT_EQ(ExtractSfx(dir / "bad.exe", target, out, err), 1) << c.why;
        EXPECT_NE(err.str().find(c.why), std::string::npos) << err.str();
        EXPECT_EQ(access((dir / "place").c_str(), F_OK), -1) << c.why;
    }
}

// The chunks are unpacked once, into a staging folder: a fault in the last
// entry still leaves the folder as it was.
TEST_F(SfxInspect, ExtractOfADamagedFileChangesNothing) {
    Build();
    std::string damaged = sfx;
    const ReadEntry& last = Entry("z.txt");
    damaged[last.offset + last.byteSize - kChecksumSize] ^= 1;
    WriteFile(dir / "bad.exe", damaged);
    const std::string target = dir / "out";
    MakeFolder(target);
    WriteFile(target + "/a.txt", "old");
    EXPECT_EQ(ExtractSfx(dir / "bad.exe", target, out, err), 1);
    EXPECT_NE(err.str().find("entry 'z.txt'"), std::string::npos) << err.str();
    EXPECT_EQ(FolderNames(target), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadFile(target + "/a.txt"), "old");
    EXPECT_EQ(ExtractSfx(dir / "bad.exe", dir / "new/out", out, err), 1);
    EXPECT_EQ(access((dir / "new").c_str(), F_OK), -1);
}

TEST_F(SfxInspect, ExtractNeverWritesThroughLinksAndReplacesFilesWhole) {
    Build();
    const std::string target = dir / "out", elsewhere = dir / "elsewhere";
    MakeFolder(target);
    MakeFolder(elsewhere);
    ASSERT_EQ(symlink(elsewhere.c_str(), (target + "/sub").c_str()), 0);
    EXPECT_EQ(ExtractSfx(options.Target, target, out, err), 1);
    EXPECT_NE(err.str().find("entry 'sub': '" + target + "/sub' is a symbolic link"), std::string::npos)
        << err.str();
    EXPECT_EQ(access((target + "/a.txt").c_str(), F_OK), -1);
    EXPECT_EQ(access((elsewhere + "/data.bin").c_str(), F_OK), -1);

    // A file linked from elsewhere keeps its data there.
    unlink((target + "/sub").c_str());
    WriteFile(elsewhere + "/kept.txt", "old");
    ASSERT_EQ(link((elsewhere + "/kept.txt").c_str(), (target + "/a.txt").c_str()), 0);
    ASSERT_EQ(ExtractSfx(options.Target, target, out, err), 0) << err.str();
    EXPECT_EQ(ReadFile(target + "/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(elsewhere + "/kept.txt"), "old");
}

// Extended entries read the same whatever QUILLON_CODEPAGE says: UTF-8
// names as they are, in the listing, the JSON and the extraction.
TEST_F(SfxInspect, ExtendedEntriesShowTheirNamesAsTheyAre) {
    SfxBuilder crafted;
    std::copy_n("0000000001", 10, crafted.bytes.begin() + crafted.start + config::kInstanceId);
    crafted.File("classic.txt", "classic");
    crafted.ExtendedFolder("\u4E2D\u6587");
    crafted.ExtendedFile("\u4E2D\u6587\\\u0395\u03BB\u03BB \U0001F600.txt", "utf-8 data");
    crafted.End();
    const std::string bytes(crafted.bytes.begin(), crafted.bytes.end());
    const std::string name = "\u4E2D\u6587\\\u0395\u03BB\u03BB \U0001F600.txt";
    for (int codePage : {1252, 936}) {
        ASSERT_TRUE(platform::SetAnsiCodePage(codePage));
        EXPECT_EQ(Run(ListSfx, bytes), 0) << err.str();
        EXPECT_NE(out.str().find("          10  "), std::string::npos) << out.str();
        EXPECT_NE(out.str().find(name + "\n"), std::string::npos) << out.str();
        EXPECT_EQ(Run(ListSfxJson, bytes), 0) << err.str();
        EXPECT_NE(out.str().find("\"name\": \"\u4E2D\u6587\\\\\u0395"), std::string::npos) << out.str();
        const std::string target = dir / ("out" + std::to_string(codePage));
        ASSERT_EQ(ExtractSfx(dir / "damaged.exe", target, out, err), 0) << err.str();
        EXPECT_EQ(ReadFile(target + "/\u4E2D\u6587/\u0395\u03BB\u03BB \U0001F600.txt"), "utf-8 data");
        EXPECT_EQ(ReadFile(target + "/classic.txt"), "classic");
    }
}

TEST_F(SfxInspect, NotAnSfxFile) {
    EXPECT_EQ(Run(TestSfx, FakeStubImage()), 1);
    EXPECT_NE(err.str().find("not an SFX file"), std::string::npos) << err.str();
    EXPECT_EQ(TestSfx(dir / "missing.exe", out, err), 1);
}

}  // namespace
}  // namespace ql::test
