// The test reader. It deliberately shares no code with the builder but the
// record layout, so that a fault in the writer shows up here.
#include "tests/support/container_reader.h"

#include <zlib.h>

#include "shared/container.h"

namespace ql::test {

namespace {

struct Cursor {
    const std::string& file;
    uint64_t position;
    bool Has(uint64_t n) const { return position + n <= file.size(); }
    const uint8_t* At() const { return reinterpret_cast<const uint8_t*>(file.data() + position); }
};

// Inflates one chunk, adds it to the sum and keeps it where `keep`.
bool Inflate(const uint8_t* packed, uint32_t packedLength, uint32_t expected, bool keep, ReadEntry& e) {
    std::string buffer(expected, '\0');
    uLongf length = expected;
    int result = uncompress(reinterpret_cast<Bytef*>(buffer.data()), &length, packed, packedLength);
    if (result != Z_OK || length != expected) return false;
    e.dataSum = ByteSum(buffer.data(), buffer.size(), e.dataSum);
    if (keep) e.data += buffer;
    return true;
}

}  // namespace

uint64_t ContainerStart(const std::string& file) {
    auto u8 = [&](size_t at) { return reinterpret_cast<const uint8_t*>(file.data()) + at; };
    if (file.size() < 64 || file.compare(0, 2, "MZ") != 0) return 0;
    size_t pe = ReadLE32(u8(60));
    if (pe + 24 > file.size() || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
    size_t sections = ReadLE16(u8(pe + 6));
    size_t optional = ReadLE16(u8(pe + 20));
    size_t table = pe + 24 + optional;
    uint64_t end = 0;
    for (size_t i = 0; i < sections && table + 40 * (i + 1) <= file.size(); ++i) {
        const uint8_t* header = u8(table + 40 * i);
        uint32_t rawSize = ReadLE32(header + 16), rawPointer = ReadLE32(header + 20);
        if (rawSize > 0 && rawPointer + static_cast<uint64_t>(rawSize) > end) end = rawPointer + rawSize;
    }
    return end;
}

ReadContainer ReadSfx(const std::string& file, std::string& error) {
    ReadContainer result;
    result.start = ContainerStart(file);
    if (result.start == 0) return error = "no PE image", result;
    Cursor c{file, result.start};
    if (!c.Has(config::kSize)) return error = "no configuration block", result;
    result.config = file.substr(c.position, config::kSize);
    bool compressed = result.config[config::kCompression] != 0;
    c.position += config::kSize;

    while (true) {
        if (!c.Has(kEntryHeaderSize)) return error = "no end record", result;
        EntryHeader h = DecodeEntryHeader(c.At());
        if (IsEndRecord(h)) {
            result.endRecordOffset = c.position;
            if (c.position + kEndRecordSize != file.size()) error = "data behind the end record";
            return result;
        }
        ReadEntry e;
        e.offset = c.position;
        e.type = h.EntryType;
        e.size = h.Size;
        e.fileTime = h.FileTime;
        e.attributes = h.Attributes;
        c.position += kEntryHeaderSize;
        if (IsExtendedEntry(h)) {
            if (h.Size != 0 || !c.Has(kSize64Size)) return error = "bad extended header", result;
            e.size = static_cast<int64_t>(ReadLE64(c.At()));
            c.position += kSize64Size;
        }
        if (h.NameLength <= 0 || !c.Has(static_cast<uint64_t>(h.NameLength)))
            return error = "bad name", result;
        e.name = file.substr(c.position, static_cast<size_t>(h.NameLength));
        c.position += static_cast<uint64_t>(h.NameLength);
        if (!IsFolderEntry(h)) {
            if (e.size < 0) return error = "negative size", result;
            const bool keep = e.size <= kKeptData;
            int64_t done = 0;
            while (done < e.size) {
                if (!compressed) {
                    if (!c.Has(static_cast<uint64_t>(e.size))) return error = "truncated data", result;
                    e.data = file.substr(c.position, static_cast<size_t>(e.size));
                    e.dataSum = ByteSum(e.data.data(), e.data.size());
                    c.position += static_cast<uint64_t>(e.size);
                    done = e.size;
                    break;
                }
                if (!c.Has(kChunkHeaderSize)) return error = "truncated chunk header", result;
                ChunkHeader chunk = DecodeChunkHeader(c.At());
                c.position += kChunkHeaderSize;
                if (chunk.PackedLength > kMaxPackedChunk || !c.Has(chunk.PackedLength))
                    return error = "bad packed length", result;
                if (!Inflate(c.At(), chunk.PackedLength, chunk.UnpackedLength, keep, e))
                    return error = "inflation failed in " + e.name, result;
                e.chunkLengths.push_back(chunk.UnpackedLength);
                done += chunk.UnpackedLength;
                c.position += chunk.PackedLength;
            }
            if (done != e.size) return error = "size mismatch in " + e.name, result;
        }
        if (!c.Has(kChecksumSize)) return error = "truncated checksum", result;
        e.storedChecksum = ReadLE32(c.At());
        c.position += kChecksumSize;
        const uint32_t expected = ByteSum(e.name.data(), e.name.size()) + e.dataSum;
        if (expected != e.storedChecksum) return error = "checksum mismatch in " + e.name, result;
        e.byteSize = c.position - e.offset;
        result.entries.push_back(std::move(e));
    }
}

const ReadEntry* FindEntry(const ReadContainer& container, const std::string& name) {
    for (const ReadEntry& entry : container.entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

}  // namespace ql::test
