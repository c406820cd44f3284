// The SFX container: the one definition of its records, shared by the builder
// and the stub. Freestanding on purpose (no standard library beyond the fixed
// width integers) so the stub can include it without pulling in a runtime.
//
//   offset 0   +---------------------------+
//              | stub image                |  resources edited by the builder
//   S          +---------------------------+  S = end of the last section's raw data
//              | ConfigBlock      2330 B   |
//              +---------------------------+
//              | helper entry              |  only when self-delete is on
//              | source entries            |  header, name, body, in scan order
//              +---------------------------+
//              | EndRecord        17 B     |  all zero
//              +---------------------------+  end of file
//
// Entry:  EntryHeader | name (NameLength bytes) | body
// Extended entry (EntryType has kEntryExtended):
//         EntryHeader (Size 0) | Size64 (8) | name (NameLength bytes of UTF-8) | body
// Body:   folder            -> checksum (4)
//         packed file       -> { ChunkHeader | zlib stream }* checksum (4)
//         raw file          -> Size bytes | checksum (4)
// All integers are little-endian; there is no padding anywhere.
//
// The classic entry holds what the Windows ANSI code page and a signed 32-bit
// size can hold, and the builders write it wherever it can: a tree of such
// names and files gives the same bytes as ever. An extended entry carries the
// rest: a name the code page cannot hold (or any name, when portable names are
// asked for) as UTF-8, and a file of 2 GiB or more, with its 64-bit size. The
// checksum of either covers the name's bytes as stored, then the data.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ql {

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Unsigned sum of the bytes, wrapping at 2^32; `start` lets a caller continue a sum.
inline uint32_t ByteSum(const void* data, size_t length, uint32_t start = 0) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t sum = start;
    for (size_t i = 0; i < length; ++i) sum += p[i];
    return sum;
}

// File data is packed in chunks of this many bytes; only the last chunk is shorter.
constexpr uint32_t kChunkSize = 0x900000;
// The reader's buffer for one packed chunk; a larger packed length is refused.
constexpr uint32_t kMaxPackedChunk = 0xA00000;

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrVolumeLabel = 0x08;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrReparsePoint = 0x400;  // a link, to a folder where the scan stores one

constexpr const char kHelperEntryName[] = "xsfxdel~.exe";
constexpr int32_t kHelperEntryNameLength = 12;

// The choices of the ConfigBlock's one-byte fields, numbered as stored. The
// elevation is no field of its own: the builder writes it into the stub's manifest.
enum ExtractionMode : uint8_t { kExtractOnly, kExtractAndRun };
enum ExtractionFolder : uint8_t {
    kFolderTemp,
    kFolderDesktop,
    kFolderDocuments,
    kFolderCurrent,
    kFolderAsk,
    kFolderCustom
};
enum WorkingFolder : uint8_t { kWorkInExtractionFolder, kWorkInSfxFolder, kWorkInCurrentFolder };
enum DeleteMode : uint8_t { kDeleteAfterRun, kDeleteAtRestart, kDeleteNever };
enum Elevation : uint8_t { kElevationNone, kElevationHighest, kElevationAdministrator };
enum OverwriteMode : uint8_t { kOverwriteAsk, kOverwriteAll, kOverwriteNone };

// ConfigBlock: the extraction settings, right at the container start.
namespace config {
constexpr size_t kSize = 2330;
constexpr size_t kExtractionMode = 0;    // 1: ExtractionMode
constexpr size_t kExtractionFolder = 1;  // 1: ExtractionFolder
constexpr size_t kCmdParameters = 2;     // 2048: text, zero byte, zero padding
constexpr size_t kCmdParametersSize = 2048;
constexpr size_t kCustomFolder = 2050;  // 261: text, zero byte, zero padding
constexpr size_t kCustomFolderSize = 261;
constexpr size_t kInstanceId = 2311;  // 11: ten upper-case hex digits, zero byte
constexpr size_t kInstanceIdSize = 11;
constexpr size_t kOpenFolder = 2322;        // 1: open the folder afterwards (extract mode)
constexpr size_t kCompression = 2323;       // 1: 1 zlib chunks, 0 raw data
constexpr size_t kOneInstance = 2324;       // 1: refuse a second concurrent run
constexpr size_t kSilentMode = 2325;        // 1: no window, no error boxes
constexpr size_t kSelfDeleteMode = 2326;    // 1: informational; the helper entry decides
constexpr size_t kDeleteMode = 2327;        // 1: DeleteMode
constexpr size_t kWorkingDirectory = 2328;  // 1: WorkingFolder
constexpr size_t kOverwriteMode = 2329;     // 1: OverwriteMode
static_assert(kOverwriteMode + 1 == kSize, "ConfigBlock is 2330 bytes");
static_assert(kCustomFolder + kCustomFolderSize == kInstanceId, "fields are contiguous");
static_assert(kCmdParameters + kCmdParametersSize == kCustomFolder, "fields are contiguous");
}  // namespace config

// EntryHeader: 17 bytes in front of every entry; all zero in the EndRecord.
struct EntryHeader {
    uint8_t EntryType;    // 0 file or folder, 1 program to run, 2 self-delete helper; + kEntryExtended
    int32_t NameLength;   // bytes of the name that follows, above 0
    int32_t Size;         // file size before packing, 0 for a folder; 0 in an extended entry
    uint32_t FileTime;    // MS-DOS date (high 16 bits) and time (low 16 bits), local time
    uint32_t Attributes;  // Windows attribute bits; 0x10 marks a folder
};
constexpr size_t kEntryHeaderSize = 17;
constexpr size_t kEndRecordSize = kEntryHeaderSize;

// The longest name a reader takes, in bytes: the longest path Windows knows.
// Anything longer cannot be a name a builder wrote.
constexpr int32_t kMaxEntryNameLength = 32767;

constexpr uint8_t kEntryOrdinary = 0;
constexpr uint8_t kEntryProgram = 1;
constexpr uint8_t kEntryHelper = 2;
// Added to one of the three: the extended form. The kind is EntryKind().
constexpr uint8_t kEntryExtended = 0x80;
constexpr size_t kSize64Size = 8;

inline uint8_t EntryKind(const EntryHeader& h) { return static_cast<uint8_t>(h.EntryType & ~kEntryExtended); }
inline bool IsExtendedEntry(const EntryHeader& h) { return (h.EntryType & kEntryExtended) != 0; }
// The header and, in an extended entry, the 64-bit size behind it.
inline size_t EntryHeadSize(const EntryHeader& h) {
    return kEntryHeaderSize + (IsExtendedEntry(h) ? kSize64Size : 0);
}

inline uint64_t ReadLE64(const uint8_t* p) {
    return ReadLE32(p) | (static_cast<uint64_t>(ReadLE32(p + 4)) << 32);
}

inline void WriteLE64(uint8_t* p, uint64_t v) {
    WriteLE32(p, static_cast<uint32_t>(v));
    WriteLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void EncodeEntryHeader(const EntryHeader& h, uint8_t out[kEntryHeaderSize]) {
    out[0] = h.EntryType;
    WriteLE32(out + 1, static_cast<uint32_t>(h.NameLength));
    WriteLE32(out + 5, static_cast<uint32_t>(h.Size));
    WriteLE32(out + 9, h.FileTime);
    WriteLE32(out + 13, h.Attributes);
}

inline EntryHeader DecodeEntryHeader(const uint8_t in[kEntryHeaderSize]) {
    EntryHeader h;
    h.EntryType = in[0];
    h.NameLength = static_cast<int32_t>(ReadLE32(in + 1));
    h.Size = static_cast<int32_t>(ReadLE32(in + 5));
    h.FileTime = ReadLE32(in + 9);
    h.Attributes = ReadLE32(in + 13);
    return h;
}

// The end record is all zero; with any other type byte the record is a
// header whose name is empty, which no reader accepts.
inline bool IsEndRecord(const EntryHeader& h) {
    return h.EntryType == 0 && h.NameLength == 0 && h.Size == 0 && h.FileTime == 0 && h.Attributes == 0;
}

inline bool IsFolderEntry(const EntryHeader& h) { return (h.Attributes & kAttrDirectory) != 0; }

// ChunkHeader: 8 bytes in front of each zlib stream of a packed file.
struct ChunkHeader {
    uint32_t UnpackedLength;  // file bytes in this chunk
    uint32_t PackedLength;    // bytes of the zlib stream that follows
};
constexpr size_t kChunkHeaderSize = 8;

inline void EncodeChunkHeader(const ChunkHeader& c, uint8_t out[kChunkHeaderSize]) {
    WriteLE32(out, c.UnpackedLength);
    WriteLE32(out + 4, c.PackedLength);
}

inline ChunkHeader DecodeChunkHeader(const uint8_t in[kChunkHeaderSize]) {
    return ChunkHeader{ReadLE32(in), ReadLE32(in + 4)};
}

constexpr size_t kChecksumSize = 4;

}  // namespace ql
