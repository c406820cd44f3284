// Crafted SFX files for the stub's container walk: a minimal PE image, a
// ConfigBlock and entries written field by field, with the offsets of every
// part kept so that a test can break exactly the one it means. Plus a reader
// over memory and a sink that records what the walk asks of the platform.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "shared/container.h"
#include "stub/container_walk.h"
#include "tests/support/cp936.h"

namespace ql::test {

// A PE image of 0x600 bytes: headers, then sections whose raw data end at 0x400
// (".text") and 0x600 (".rsrc"), listed out of order, plus one without raw data.
inline std::string MiniPeImage() {
    std::string image(0x600, '\0');
    auto put16 = [&](size_t at, uint16_t v) { WriteLE16(reinterpret_cast<uint8_t*>(&image[at]), v); };
    auto put32 = [&](size_t at, uint32_t v) { WriteLE32(reinterpret_cast<uint8_t*>(&image[at]), v); };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x80);
    std::memcpy(&image[0x80], "PE\0\0", 4);
    put16(0x84, 0x14C);  // machine
    put16(0x86, 3);      // sections
    put16(0x94, 0xE0);   // optional header size
    const size_t table = 0x80 + 4 + 20 + 0xE0;
    auto section = [&](int i, const char* name, uint32_t rawSize, uint32_t rawOffset) {
        std::memcpy(&image[table + 40 * i], name, std::strlen(name));
        put32(table + 40 * i + 16, rawSize);
        put32(table + 40 * i + 20, rawOffset);
    };
    section(0, ".rsrc", 0x200, 0x400);
    section(1, ".bss", 0, 0x0);
    section(2, ".text", 0x200, 0x200);
    return image;
}

struct EntryLayout {
    size_t header = 0;    // offset of the EntryHeader
    size_t data = 0;      // offset of the first data byte (first chunk header when packed)
    size_t checksum = 0;  // offset of the stored checksum
};

class SfxBuilder {
public:
    explicit SfxBuilder(bool compressed = true, uint32_t chunkSize = kChunkSize)
        : compressed_(compressed), chunkSize_(chunkSize) {
        const std::string image = MiniPeImage();
        bytes.assign(image.begin(), image.end());
        start = bytes.size();
        bytes.resize(bytes.size() + config::kSize, 0);
        bytes[start + config::kCompression] = compressed ? 1 : 0;
    }

    EntryLayout Folder(const std::string& name, uint32_t attributes = kAttrDirectory) {
        EntryLayout at = Header(EntryHeader{kEntryOrdinary, Length(name), 0, 0, attributes}, name);
        at.data = at.checksum = bytes.size();
        U32(ByteSum(name.data(), name.size()));
        return at;
    }

    EntryLayout File(const std::string& name, const std::string& data, uint8_t type = kEntryOrdinary,
                     uint32_t time = 0x52A36000u, uint32_t attributes = kAttrArchive) {
        EntryLayout at = Header(
            EntryHeader{type, Length(name), static_cast<int32_t>(data.size()), time, attributes}, name);
        Body(at, name, data);
        return at;
    }

    // The extended form: Size 0, the 64-bit size behind the header, then the
    // name as given (UTF-8 where the test means it) and the body as in any entry.
    EntryLayout ExtendedFolder(const std::string& name) {
        EntryLayout at = ExtendedHeader(kEntryOrdinary, name, 0, kAttrDirectory);
        at.data = at.checksum = bytes.size();
        U32(ByteSum(name.data(), name.size()));
        return at;
    }

    EntryLayout ExtendedFile(const std::string& name, const std::string& data,
                             uint8_t kind = kEntryOrdinary) {
        EntryLayout at = ExtendedHeader(kind, name, data.size(), kAttrArchive);
        Body(at, name, data);
        return at;
    }

    // An extended file entry that claims `size` bytes in packed chunks of the
    // given unpacked lengths, each with three junk bytes as its stream: enough
    // for the sizing pass, which seeks over the data, and for an extraction
    // whose inflater produces nothing.
    EntryLayout ClaimedFile(const std::string& name, uint64_t size, const std::vector<uint32_t>& chunks) {
        EntryLayout at = ExtendedHeader(kEntryOrdinary, name, size, kAttrArchive);
        at.data = bytes.size();
        for (uint32_t unpacked : chunks) {
            U32(unpacked);
            U32(3);
            bytes.insert(bytes.end(), {1, 2, 3});
        }
        at.checksum = bytes.size();
        U32(ByteSum(name.data(), name.size()));
        return at;
    }

    void End() { bytes.resize(bytes.size() + kEndRecordSize, 0); }

    void U32(uint32_t v) {
        uint8_t b[4];
        WriteLE32(b, v);
        bytes.insert(bytes.end(), b, b + 4);
    }

    static std::vector<uint8_t> Pack(const char* data, size_t n) {
        uLongf length = compressBound(n);
        std::vector<uint8_t> packed(length);
        compress2(packed.data(), &length, reinterpret_cast<const Bytef*>(data), n, 9);
        packed.resize(length);
        return packed;
    }

    std::vector<uint8_t> bytes;
    size_t start = 0;

private:
    static int32_t Length(const std::string& s) { return static_cast<int32_t>(s.size()); }

    EntryLayout ExtendedHeader(uint8_t kind, const std::string& name, uint64_t size, uint32_t attributes) {
        EntryLayout at = Header(EntryHeader{static_cast<uint8_t>(kind | kEntryExtended), Length(name), 0,
                                            0x52A36000u, attributes},
                                "");
        uint8_t b[kSize64Size];
        WriteLE64(b, size);
        bytes.insert(bytes.end(), b, b + kSize64Size);
        bytes.insert(bytes.end(), name.begin(), name.end());
        return at;
    }

    void Body(EntryLayout& at, const std::string& name, const std::string& data) {
        at.data = bytes.size();
        for (size_t done = 0; done < data.size();) {
            const size_t n = std::min<size_t>(chunkSize_, data.size() - done);
            if (compressed_) {
                std::vector<uint8_t> packed = Pack(data.data() + done, n);
                U32(static_cast<uint32_t>(n));
                U32(static_cast<uint32_t>(packed.size()));
                bytes.insert(bytes.end(), packed.begin(), packed.end());
            } else {
                bytes.insert(bytes.end(), data.begin() + done, data.begin() + done + n);
            }
            done += n;
        }
        at.checksum = bytes.size();
        U32(ByteSum(data.data(), data.size(), ByteSum(name.data(), name.size())));
    }

    EntryLayout Header(const EntryHeader& h, const std::string& name) {
        EntryLayout at;
        at.header = bytes.size();
        uint8_t b[kEntryHeaderSize];
        EncodeEntryHeader(h, b);
        bytes.insert(bytes.end(), b, b + kEntryHeaderSize);
        bytes.insert(bytes.end(), name.begin(), name.end());
        return at;
    }

    bool compressed_;
    uint32_t chunkSize_;
};

class MemoryReader final : public stub::ByteReader {
public:
    explicit MemoryReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    uint32_t Seek(int64_t position) override {
        if (position < 0) return 131;  // the platform refuses a negative seek
        position_ = static_cast<size_t>(position);
        return 0;
    }
    uint32_t Read(void* data, uint32_t length) override {
        ++reads;
        if (failAtRead && reads == failAtRead) return failCode;
        if (position_ > bytes_.size() || bytes_.size() - position_ < length) {
            position_ = bytes_.size();
            return kErrorInvalidData;
        }
        if (length) std::memcpy(data, bytes_.data() + position_, length);
        position_ += length;
        return 0;
    }

    int reads = 0;
    int failAtRead = 0;  // 1-based read that fails with failCode
    uint32_t failCode = 0;

private:
    const std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
};

struct RecordedFile {
    std::string data;
    bool written = false;
    bool ended = false;
    uint32_t time = 0;
};

class RecordingSink final : public stub::EntrySink {
public:
    void MakeFolder(const char* path, const stub::WalkEntry& entry) override {
        folders.push_back(path);
        Seen(path, entry);
    }
    void SetAttributes(const char* path, const stub::WalkEntry& entry) override {
        attributes[path] = entry.header.Attributes;
    }
    uint32_t BeginFile(const char* path, const stub::WalkEntry& entry, bool& writing) override {
        if (beginError) return beginError;
        current = path;
        order.push_back(path);
        writing = !keep.count(path);
        files[current].written = writing;
        Seen(path, entry);
        return 0;
    }
    uint32_t Write(const void* data, uint32_t length) override {
        if (writeError) return writeError;
        files[current].data.append(static_cast<const char*>(data), length);
        return 0;
    }
    void EndFile(const stub::WalkEntry& entry, bool) override {
        files[current].ended = true;
        files[current].time = entry.header.FileTime;
    }
    void Progress(uint32_t length) override { progress += length; }

    std::map<std::string, int> keep;  // files the user keeps
    uint32_t beginError = 0;
    uint32_t writeError = 0;
    std::string current;
    std::vector<std::string> folders, order;
    std::map<std::string, uint32_t> attributes;
    std::map<std::string, int64_t> sizes;  // as the walk handed them over
    std::map<std::string, bool> extended;  // the name is UTF-8
    std::map<std::string, RecordedFile> files;
    int64_t progress = 0;

private:
    void Seen(const char* path, const stub::WalkEntry& entry) {
        sizes[path] = entry.size;
        extended[path] = IsExtendedEntry(entry.header);
    }
};

// Runs the extraction over `bytes` into folder "X:\out\" (helper: "X:\tmp\"),
// with names in code page 936, so name checks meet double-byte characters.
inline stub::Failure Extract(const std::vector<uint8_t>& bytes, size_t start, bool compressed,
                             RecordingSink& sink, std::string* failedPath = nullptr,
                             stub::Inflater inflate = stub::InflateChunk) {
    static std::vector<uint8_t> buffer(kMaxPackedChunk);
    static std::vector<char> path(stub::kTargetPathCapacity);
    MemoryReader reader(bytes);
    stub::ExtractionPlan plan;
    plan.containerStart = static_cast<uint32_t>(start);
    plan.fileSize = static_cast<int64_t>(bytes.size());
    plan.compressed = compressed;
    plan.folder = "X:\\out\\";
    plan.helperFolder = "X:\\tmp\\";
    plan.buffer = buffer.data();
    plan.targetPath = path.data();
    plan.names = NameEncoding{Cp936LeadByte, nullptr};
    plan.inflate = inflate;
    stub::Failure failure = stub::ExtractEntries(reader, plan, sink);
    if (failedPath) *failedPath = path.data();
    return failure;
}

// An entry named `name`, as a folder and as the program file, behind a plain
// first file: the walk refuses it as damage of its own file, and nothing of
// it is created, though the first file stays extracted for the clean-up.
inline void ExpectNameRefused(const std::string& name, bool extended) {
    for (bool folder : {false, true}) {
        SfxBuilder sfx;
        sfx.File("first.txt", "first");
        if (folder)
            extended ? sfx.ExtendedFolder(name) : sfx.Folder(name);
        else
            extended ? sfx.ExtendedFile(name, "payload", kEntryProgram)
                     : sfx.File(name, "payload", kEntryProgram);
        sfx.End();
        RecordingSink sink;
        const stub::Failure failure = Extract(sfx.bytes, sfx.start, true, sink);
        EXPECT_EQ(failure.code, kErrorInvalidData) << name;
        EXPECT_EQ(failure.subject, stub::Subject::OwnFile) << name;
        EXPECT_EQ(sink.order, std::vector<std::string>{"X:\\out\\first.txt"}) << name;
        EXPECT_TRUE(sink.folders.empty()) << name;
    }
}

}  // namespace ql::test
