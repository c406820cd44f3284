// Reading the container from the stub's own file: where it starts, how much
// data its entries hold, and the entry-by-entry extraction with its checksum
// and chunk rules. Portable and runtime-free: the platform hands in a reader
// over the own file and a sink that creates the folders and files.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "shared/container.h"
#include "shared/entry_name.h"
#include "shared/error_codes.h"

namespace ql::stub {

// Longest entry name the stub accepts.
constexpr int32_t kMaxNameLength = kMaxEntryNameLength;
// Longest base folder (extraction or temporary folder) in front of a name.
constexpr size_t kMaxBaseFolderLength = 1024;
// Capacity of a target path buffer: base folder, name and the terminating zero.
constexpr size_t kTargetPathCapacity = kMaxBaseFolderLength + kMaxNameLength + 1;

// Sequential access to the own file.
class ByteReader {
public:
    // Moves to an absolute position; 0 or the platform's error code.
    virtual uint32_t Seek(int64_t position) = 0;
    // Reads exactly `length` bytes: 0; kErrorInvalidData when the file ends
    // first (a container that stops early is damaged); else the platform's code.
    virtual uint32_t Read(void* data, uint32_t length) = 0;

protected:
    ~ByteReader() = default;
};

// Lets the window breathe between entries and blocks; may be null.
using MessagePump = void (*)();

// Whom a failure message names.
enum class Subject : uint8_t { None, OwnFile, Target };

struct Failure {
    uint32_t code = 0;  // 0: no failure
    Subject subject = Subject::None;
    // Where the entry the walk failed in begins; where the EndRecord should
    // have been when it is missing. After success: where the EndRecord ends.
    int64_t offset = 0;
};

// Finds the ConfigBlock: the end of the raw data of the image's last section,
// taken from the section table only. Ends with kErrorHandleEof when there is no
// PE header, no section with raw data, or no room behind it for a ConfigBlock.
uint32_t LocateContainer(ByteReader& reader, int64_t fileSize, uint32_t& start);

// An entry as the walk read it, in either form.
struct WalkEntry {
    EntryHeader header;
    int64_t size;      // the file size: Size, or the Size64 of an extended entry
    const char* name;  // the stored name and a zero byte; UTF-8 in an extended entry, else the code page's
};

// A header the walk can trust, with `size` its file size as read: one of the
// three entry kinds, a name of 1 to kMaxNameLength bytes, a size that is not
// negative (in an extended entry: Size 0 and Size64 below 2^63), no data in a
// folder entry, and only a file as the program to run or the self-delete
// helper (a folder under the helper's name would block every later
// self-delete on the machine).
bool IsWalkableHeader(const EntryHeader& header, int64_t size);

struct EntryTotals {
    int64_t size = 0;         // the file sizes of all entries added up
    bool hasProgram = false;  // a file entry names the program to run
};

// The sizing pass: sums the file sizes of all entries by seeking over their
// data, and insists on the EndRecord. kErrorInvalidData when the sum is 0, when
// the EndRecord is missing, or for a header the walk cannot trust.
uint32_t SizeEntries(ByteReader& reader, uint32_t start, int64_t fileSize, bool compressed,
                     EntryTotals& totals, MessagePump pump);

// The instance identifier names the temporary extraction folder ("~sfx" and
// the identifier) and the instance mutex: kErrorInvalidData unless it is one
// plain name (up to its zero byte, or the end of the block) under the name rule.
uint32_t CheckInstanceId(const uint8_t* configBlock, const NameEncoding& encoding);

// A container that is to run a program must carry one: kErrorInvalidParameter
// in run mode without a program entry, found before anything is extracted.
uint32_t CheckRunEntry(const uint8_t* configBlock, const EntryTotals& totals);

// What the platform does for the extraction. `path` is the base folder and
// the stored name behind it (`entry.name` points into it): the name is UTF-8
// where IsExtendedEntry(entry.header), else text of the code page.
class EntrySink {
public:
    virtual void MakeFolder(const char* path, const WalkEntry& entry) = 0;
    // The last call for every entry, once its checksum matched.
    virtual void SetAttributes(const char* path, const WalkEntry& entry) = 0;
    // Decides whether the file is (over)written and, if so, creates it; the
    // decision goes to `writing`. 0 or the platform's error code.
    virtual uint32_t BeginFile(const char* path, const WalkEntry& entry, bool& writing) = 0;
    // 0 or the platform's error code.
    virtual uint32_t Write(const void* data, uint32_t length) = 0;
    // After the checksum matched: sets the time of a written file and closes it.
    virtual void EndFile(const WalkEntry& entry, bool writing) = 0;
    // `length` more bytes of file data are done.
    virtual void Progress(uint32_t length) = 0;

protected:
    ~EntrySink() = default;
};

// Receives unpacked bytes; 0 to go on, else an error code that stops the unpacking.
using ChunkOutput = uint32_t (*)(void* context, const uint8_t* data, uint32_t length);

// Unpacks one complete zlib stream (header, deflate data, Adler-32 trailer,
// nothing behind it) that must give exactly `unpackedLength` bytes, handing them
// to `output` in pieces. 0, kErrorBadArguments for a damaged or mismatched
// stream, kErrorNotEnoughMemory, or the first error `output` returned.
uint32_t InflateChunk(const uint8_t* packed, uint32_t packedLength, uint32_t unpackedLength,
                      ChunkOutput output, void* context);

// How a chunk is unpacked: InflateChunk, or another with the same verdicts.
using Inflater = uint32_t (*)(const uint8_t* packed, uint32_t packedLength, uint32_t unpackedLength,
                              ChunkOutput output, void* context);

struct ExtractionPlan {
    uint32_t containerStart = 0;
    int64_t fileSize = 0;
    bool compressed = true;
    const char* folder = nullptr;        // extraction folder, ends in a backslash
    const char* helperFolder = nullptr;  // temporary folder for the helper entry, ends in a backslash
    uint8_t* buffer = nullptr;           // kMaxPackedChunk bytes: one raw block or one packed chunk
    char* targetPath = nullptr;          // kTargetPathCapacity bytes
    NameEncoding names;                  // of the code page the names are stored in
    Inflater inflate = InflateChunk;
};

// Extracts every entry in container order, verifying each checksum; a kept
// file is still read and unpacked so its checksum is checked too. A name that
// is not a safe relative path (for an extended entry: not well-formed UTF-8,
// or not safe as such; for the helper entry: not the helper's own name) ends
// the walk with kErrorInvalidData before anything of it is created.
Failure ExtractEntries(ByteReader& reader, const ExtractionPlan& plan, EntrySink& sink);

}  // namespace ql::stub
