// The stub's walk over an SFX file held in memory: locating the container,
// the sizing pass and the extraction, into a sink that checks every path it
// is handed and keeps only counts. Names are read as code page 936 text, so
// trail bytes 0x5C meet the name check.
#include <cstdint>
#include <cstring>
#include <vector>

#include "shared/container.h"
#include "stub/container_walk.h"
#include "tests/stub/container_fixture.h"

namespace {

constexpr char kFolder[] = "X:\\out\\";
constexpr char kHelperFolder[] = "X:\\tmp\\";

// Whatever the container says, nothing may be created outside the two folders
// or under a name the stub should have refused, in the form the entry gives.
void CheckPath(const char* path, const ql::stub::WalkEntry& entry) {
    const char* name = nullptr;
    if (std::strncmp(path, kFolder, sizeof kFolder - 1) == 0) name = path + sizeof kFolder - 1;
    if (std::strncmp(path, kHelperFolder, sizeof kHelperFolder - 1) == 0)
        name = path + sizeof kHelperFolder - 1;
    if (name == nullptr || name != entry.name) __builtin_trap();
    const size_t length = std::strlen(name);
    const bool safe =
        ql::IsExtendedEntry(entry.header)
            ? ql::IsSafeUtf8EntryName(name, length)
            : ql::IsSafeEntryName(name, length, ql::NameEncoding{ql::test::Cp936LeadByte, nullptr});
    if (!safe) __builtin_trap();
}

class CheckingSink final : public ql::stub::EntrySink {
public:
    void MakeFolder(const char* path, const ql::stub::WalkEntry& entry) override { CheckPath(path, entry); }
    void SetAttributes(const char* path, const ql::stub::WalkEntry& entry) override {
        CheckPath(path, entry);
    }
    uint32_t BeginFile(const char* path, const ql::stub::WalkEntry& entry, bool& writing) override {
        CheckPath(path, entry);
        writing = (entry.header.Attributes & 1) == 0;  // a kept file now and then
        left_ = entry.size;
        return 0;
    }
    uint32_t Write(const void*, uint32_t length) override {
        // Never more than the entry announced.
        if (length > left_) __builtin_trap();
        left_ -= length;
        return 0;
    }
    void EndFile(const ql::stub::WalkEntry&, bool) override {}
    void Progress(uint32_t) override {}

private:
    int64_t left_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> buffer(ql::kMaxPackedChunk);
    static std::vector<char> targetPath(ql::stub::kTargetPathCapacity);
    const std::vector<uint8_t> bytes(data, data + size);
    ql::test::MemoryReader reader(bytes);
    const int64_t fileSize = static_cast<int64_t>(size);
    uint32_t start = 0;
    if (ql::stub::LocateContainer(reader, fileSize, start) != 0) return 0;
    uint8_t config[ql::config::kSize];
    if (reader.Seek(start) != 0 || reader.Read(config, sizeof config) != 0) return 0;
    const bool compressed = config[ql::config::kCompression] != 0;
    ql::stub::EntryTotals totals;
    if (ql::stub::SizeEntries(reader, start, fileSize, compressed, totals, nullptr) != 0) return 0;

    ql::stub::ExtractionPlan plan;
    plan.containerStart = start;
    plan.fileSize = fileSize;
    plan.compressed = compressed;
    plan.folder = kFolder;
    plan.helperFolder = kHelperFolder;
    plan.buffer = buffer.data();
    plan.targetPath = targetPath.data();
    plan.names = ql::NameEncoding{ql::test::Cp936LeadByte, nullptr};
    CheckingSink sink;
    ql::stub::ExtractEntries(reader, plan, sink);
    return 0;
}
