// The container walk of the stub: locating, sizing and extracting.
#include "stub/container_walk.h"

#include <zlib.h>

#include "shared/pe_layout.h"

namespace ql::stub {

namespace {

// The end of the last section's raw data, or 0 when the headers do not lead to
// one. Only the low half of the new-header offset is read, as the loader of
// the programs this stub is built as never places it beyond 64 KiB.
uint32_t FindSectionEnd(ByteReader& reader, uint64_t& end) {
    end = 0;
    uint8_t b[pe::section::kHeaderSize];
    uint32_t error = reader.Seek(0);
    if (!error) error = reader.Read(b, 2);
    if (error) return error;
    int64_t position = 2;
    if (ReadLE16(b) == pe::dos::kSignature) {
        if ((error = reader.Seek(pe::dos::kNewHeaderOffset)) || (error = reader.Read(b, 2))) return error;
        position = ReadLE16(b);
        if ((error = reader.Seek(position))) return error;
    }
    if ((error = reader.Read(b, pe::kSignatureSize))) return error;
    if (ReadLE32(b) != pe::kSignature) return 0;
    if ((error = reader.Read(b, pe::coff::kHeaderSize))) return error;
    const uint16_t sections = ReadLE16(b + pe::coff::kSectionCount);
    const uint16_t optionalHeaderSize = ReadLE16(b + pe::coff::kOptionalHeaderSize);
    position += pe::kSignatureSize + pe::coff::kHeaderSize + optionalHeaderSize;
    if ((error = reader.Seek(position))) return error;
    for (uint16_t i = 0; i < sections; ++i) {
        if ((error = reader.Read(b, pe::section::kHeaderSize))) return error;
        const int32_t rawSize = static_cast<int32_t>(ReadLE32(b + pe::section::kRawSize));
        const uint64_t rawEnd =
            uint64_t{ReadLE32(b + pe::section::kRawPointer)} + static_cast<uint32_t>(rawSize);
        if (rawSize > 0 && rawEnd > end) end = rawEnd;
    }
    return 0;
}

struct ChunkTarget {
    EntrySink* sink;
    bool writing;
    uint32_t checksum;
};

uint32_t TakeChunkOutput(void* context, const uint8_t* data, uint32_t length) {
    ChunkTarget& target = *static_cast<ChunkTarget*>(context);
    target.checksum = ByteSum(data, length, target.checksum);
    return target.writing ? target.sink->Write(data, length) : 0;
}

// The helper's name is fixed (the same bytes in either form); anything else in
// a helper entry would land in the temporary folder under a name of the
// container's choosing.
bool IsAcceptableName(const WalkEntry& e, uint32_t length, const NameEncoding& encoding) {
    if (EntryKind(e.header) != kEntryHelper)
        return IsExtendedEntry(e.header) ? IsSafeUtf8EntryName(e.name, length)
                                         : IsSafeEntryName(e.name, length, encoding);
    if (length != kHelperEntryNameLength) return false;
    for (uint32_t i = 0; i < length; ++i)
        if (e.name[i] != kHelperEntryName[i]) return false;
    return true;
}

// Reads the entry header at the reader's position and, in an extended entry,
// the Size64 behind it. 0 also at the EndRecord, which leaves the header all
// zero; kErrorInvalidData for a header the walk cannot trust.
uint32_t ReadEntryHead(ByteReader& reader, WalkEntry& e) {
    uint8_t b[kEntryHeaderSize];
    if (uint32_t error = reader.Read(b, kEntryHeaderSize)) return error;
    e.header = DecodeEntryHeader(b);
    if (IsEndRecord(e.header)) return 0;
    e.size = e.header.Size;
    if (IsExtendedEntry(e.header)) {
        if (uint32_t error = reader.Read(b, kSize64Size)) return error;
        e.size = static_cast<int64_t>(ReadLE64(b));  // negative from 2^63 on
    }
    return IsWalkableHeader(e.header, e.size) ? 0 : kErrorInvalidData;
}

// inflateBack hands its output over in pieces of at most its window; this
// forwards them, counts them against the expected length and runs Adler-32.
struct InflateState {
    ChunkOutput output;
    void* context;
    uint32_t expected;
    uint32_t produced;
    uint32_t adler;
    uint32_t outputError;
};

uint32_t Adler32(uint32_t adler, const uint8_t* data, uint32_t length) {
    constexpr uint32_t kBase = 65521;
    constexpr uint32_t kRun = 5552;  // the longest run whose sums cannot overflow 32 bits
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (length > 0) {
        uint32_t n = length < kRun ? length : kRun;
        length -= n;
        while (n--) {
            a += *data++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return (b << 16) | a;
}

unsigned NoMoreInput(void*, z_const unsigned char**) { return 0; }

int TakeInflated(void* descriptor, unsigned char* data, unsigned length) {
    InflateState& s = *static_cast<InflateState*>(descriptor);
    if (length > s.expected - s.produced) return 1;  // more than the chunk header promised
    s.produced += length;
    s.adler = Adler32(s.adler, data, length);
    s.outputError = s.output(s.context, data, length);
    return s.outputError != 0;
}

}  // namespace

uint32_t LocateContainer(ByteReader& reader, int64_t fileSize, uint32_t& start) {
    start = 0;
    uint64_t end = 0;
    uint32_t error = FindSectionEnd(reader, end);
    // A file that ends inside its own headers has no container behind them.
    if (error == kErrorInvalidData)
        end = 0;
    else if (error)
        return error;
    if (end == 0 || end > 0xFFFFFFFFu || fileSize <= static_cast<int64_t>(end) + int64_t{config::kSize})
        return kErrorHandleEof;
    start = static_cast<uint32_t>(end);
    return 0;
}

bool IsWalkableHeader(const EntryHeader& h, int64_t size) {
    const uint8_t kind = EntryKind(h);
    if (kind > kEntryHelper || h.NameLength <= 0 || h.NameLength > kMaxNameLength || size < 0) return false;
    if (IsExtendedEntry(h) && h.Size != 0) return false;
    return !(IsFolderEntry(h) && (size != 0 || kind != kEntryOrdinary));
}

uint32_t SizeEntries(ByteReader& reader, uint32_t start, int64_t fileSize, bool compressed,
                     EntryTotals& totals, MessagePump pump) {
    totals = EntryTotals();
    bool reachedEnd = false;
    int64_t position = int64_t{start} + int64_t{config::kSize};
    uint8_t b[kChunkHeaderSize];
    while (position >= 0 && position < fileSize) {
        WalkEntry e;
        uint32_t error = reader.Seek(position);
        if (!error) error = ReadEntryHead(reader, e);
        if (error) return error;
        if (IsEndRecord(e.header)) {
            reachedEnd = true;
            break;
        }
        position += static_cast<int64_t>(EntryHeadSize(e.header)) + e.header.NameLength;
        if (!compressed) {
            // More data than the file holds: it was cut short (and the sum
            // could not be formed).
            if (e.size > fileSize - position) return kErrorInvalidData;
            position += e.size;
        } else {
            int64_t sum = 0;
            while (position >= 0 && position < fileSize && sum < e.size) {
                if ((error = reader.Seek(position)) || (error = reader.Read(b, kChunkHeaderSize)))
                    return error;
                const ChunkHeader chunk = DecodeChunkHeader(b);
                sum += chunk.UnpackedLength;
                position += int64_t{kChunkHeaderSize} + chunk.PackedLength;
            }
        }
        position += kChecksumSize;
        if (e.size > INT64_MAX - totals.size) return kErrorInvalidData;
        totals.size += e.size;
        totals.hasProgram = totals.hasProgram || EntryKind(e.header) == kEntryProgram;
        if (pump) pump();
    }
    if (totals.size == 0 || !reachedEnd) return kErrorInvalidData;
    return 0;
}

uint32_t CheckInstanceId(const uint8_t* configBlock, const NameEncoding& encoding) {
    const char* id = reinterpret_cast<const char*>(configBlock + config::kInstanceId);
    size_t length = 0;
    while (length < config::kSize - config::kInstanceId && id[length]) ++length;
    for (size_t i = 0; i < length; ++i)
        if (id[i] == '\\') return kErrorInvalidData;
    return IsSafeEntryName(id, length, encoding) ? 0 : kErrorInvalidData;
}

uint32_t CheckRunEntry(const uint8_t* configBlock, const EntryTotals& totals) {
    const bool runs = configBlock[config::kExtractionMode] == kExtractAndRun;
    return runs && !totals.hasProgram ? kErrorInvalidParameter : 0;
}

Failure ExtractEntries(ByteReader& reader, const ExtractionPlan& plan, EntrySink& sink) {
    int64_t position = int64_t{plan.containerStart} + int64_t{config::kSize};
    int64_t entryStart = position;  // where the entry being walked begins
    auto fail = [&entryStart](uint32_t code, Subject subject) { return Failure{code, subject, entryStart}; };
    if (uint32_t error = reader.Seek(position)) return fail(error, Subject::OwnFile);
    uint8_t b[kChunkHeaderSize];
    bool reachedEnd = false;
    while (position < plan.fileSize) {
        entryStart = position;
        WalkEntry e;
        if (uint32_t error = ReadEntryHead(reader, e)) return fail(error, Subject::OwnFile);
        const EntryHeader& h = e.header;
        position += static_cast<int64_t>(EntryHeadSize(h));
        if (IsEndRecord(h)) {
            reachedEnd = true;
            break;
        }

        const char* base = EntryKind(h) == kEntryHelper ? plan.helperFolder : plan.folder;
        size_t baseLength = 0;
        while (base[baseLength]) ++baseLength;
        if (baseLength > kMaxBaseFolderLength) return fail(kErrorInvalidData, Subject::OwnFile);
        char* path = plan.targetPath;
        for (size_t i = 0; i < baseLength; ++i) path[i] = base[i];
        char* name = path + baseLength;
        e.name = name;
        const uint32_t nameLength = static_cast<uint32_t>(h.NameLength);
        if (uint32_t error = reader.Read(name, nameLength)) return fail(error, Subject::OwnFile);
        name[nameLength] = '\0';
        position += nameLength;
        if (!IsAcceptableName(e, nameLength, plan.names)) return fail(kErrorInvalidData, Subject::OwnFile);
        uint32_t checksum = ByteSum(name, nameLength);

        if (IsFolderEntry(h)) {
            sink.MakeFolder(path, e);
            if (uint32_t error = reader.Read(b, kChecksumSize)) return fail(error, Subject::OwnFile);
            position += kChecksumSize;
            if (ReadLE32(b) != checksum) return fail(kErrorCrc, Subject::OwnFile);
            sink.SetAttributes(path, e);
            continue;
        }

        bool writing = false;
        if (uint32_t error = sink.BeginFile(path, e, writing)) return fail(error, Subject::Target);
        int64_t done = 0;
        while (done < e.size) {
            uint32_t block;
            if (plan.compressed) {
                if (uint32_t error = reader.Read(b, kChunkHeaderSize)) return fail(error, Subject::OwnFile);
                position += kChunkHeaderSize;
                const ChunkHeader chunk = DecodeChunkHeader(b);
                if (chunk.PackedLength > kMaxPackedChunk)
                    return fail(kErrorNotEnoughMemory, Subject::OwnFile);
                // A chunk never holds more than what is left of its file.
                if (int64_t{chunk.UnpackedLength} > e.size - done)
                    return fail(kErrorInvalidData, Subject::OwnFile);
                if (uint32_t error = reader.Read(plan.buffer, chunk.PackedLength))
                    return fail(error, Subject::OwnFile);
                position += chunk.PackedLength;
                ChunkTarget target{&sink, writing, checksum};
                if (uint32_t error = plan.inflate(plan.buffer, chunk.PackedLength, chunk.UnpackedLength,
                                                  TakeChunkOutput, &target))
                    return fail(error, Subject::Target);
                checksum = target.checksum;
                block = chunk.UnpackedLength;
            } else {
                const int64_t left = e.size - done;
                block = left < kMaxPackedChunk ? static_cast<uint32_t>(left) : kMaxPackedChunk;
                if (uint32_t error = reader.Read(plan.buffer, block)) return fail(error, Subject::OwnFile);
                position += block;
                const uint32_t error = writing ? sink.Write(plan.buffer, block) : 0;
                if (error) return fail(error, Subject::Target);
                checksum = ByteSum(plan.buffer, block, checksum);
            }
            done += block;
            sink.Progress(block);
        }
        if (uint32_t error = reader.Read(b, kChecksumSize)) return fail(error, Subject::OwnFile);
        position += kChecksumSize;
        if (ReadLE32(b) != checksum) return fail(kErrorCrc, Subject::OwnFile);
        sink.EndFile(e, writing);
        sink.SetAttributes(path, e);
    }
    // The sizing pass has seen the EndRecord; without it the file changed since.
    if (!reachedEnd) {
        entryStart = position;
        return fail(kErrorInvalidData, Subject::OwnFile);
    }
    return Failure{0, Subject::None, position};
}

uint32_t InflateChunk(const uint8_t* packed, uint32_t packedLength, uint32_t unpackedLength,
                      ChunkOutput output, void* context) {
    // The zlib wrapper: method deflate, a window of at most 32 KiB, a valid
    // header check, no preset dictionary. inflateBack reads the raw deflate
    // data behind it and needs no checksum code of its own.
    constexpr uint32_t kTrailerSize = 4;
    if (packedLength < 2 + kTrailerSize) return kErrorBadArguments;
    const uint8_t cmf = packed[0], flg = packed[1];
    if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20))
        return kErrorBadArguments;

    static unsigned char window[1u << 15];
    z_stream stream = {};
    if (inflateBackInit(&stream, 15, window) != Z_OK) return kErrorNotEnoughMemory;
    InflateState state{output, context, unpackedLength, 0, 1, 0};
    stream.next_in = const_cast<unsigned char*>(packed + 2);
    stream.avail_in = packedLength - 2;
    const int result = inflateBack(&stream, NoMoreInput, nullptr, TakeInflated, &state);
    const uint8_t* trailer = stream.next_in;
    const uint32_t left = trailer ? stream.avail_in : 0;
    inflateBackEnd(&stream);

    if (state.outputError) return state.outputError;
    if (result != Z_STREAM_END || left != kTrailerSize || state.produced != unpackedLength)
        return kErrorBadArguments;
    const uint32_t stored =
        uint32_t{trailer[0]} << 24 | uint32_t{trailer[1]} << 16 | uint32_t{trailer[2]} << 8 | trailer[3];
    return stored == state.adler ? 0 : kErrorBadArguments;
}

}  // namespace ql::stub
