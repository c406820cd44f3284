// The entry writer: header, name, packed chunks and checksum of one entry.
#include "builder/engine/entry_writer.h"

#include <cstring>
#include <memory>

#include "builder/engine/build_errors.h"
#include "builder/engine/cancel.h"
#include "builder/engine/pack_chunk.h"
#include "platform/filesystem.h"
#include "platform/text.h"
#include "shared/container.h"

namespace ql {

namespace {

// One program-wide read buffer: a build holds at most one chunk in memory.
uint8_t* ReadBuffer() {
    static std::unique_ptr<uint8_t[]> buffer(new uint8_t[kMaxPackedChunk]);
    return buffer.get();
}

void WriteHeader(BuildRun& run, const EntryHeader& header, const std::string& name) {
    uint8_t bytes[kEntryHeaderSize];
    EncodeEntryHeader(header, bytes);
    WriteToTarget(run, bytes, sizeof bytes);
    WriteToTarget(run, name.data(), name.size());
}

void WriteChecksum(BuildRun& run, uint32_t checksum) {
    uint8_t bytes[kChecksumSize];
    WriteLE32(bytes, checksum);
    WriteToTarget(run, bytes, sizeof bytes);
}

// Packs (or copies) n bytes of the read buffer into the target.
void WriteChunk(BuildRun& run, uint32_t n) {
    const uint8_t* data = ReadBuffer();
    if (!run.options.Compression) {
        WriteToTarget(run, data, n);
        return;
    }
    std::vector<uint8_t> packed = PackChunk(data, n);
    if (packed.size() > kMaxPackedChunk) throw BuildError(platform::SystemMessage(8), 8);
    uint8_t header[kChunkHeaderSize];
    EncodeChunkHeader(ChunkHeader{n, static_cast<uint32_t>(packed.size())}, header);
    WriteToTarget(run, header, sizeof header);
    WriteToTarget(run, packed.data(), packed.size());
}

}  // namespace

void WriteToTarget(BuildRun& run, const void* data, size_t length) {
    size_t written = 0;
    int error = run.target.Write(data, length, written);
    if (error != 0) RaiseIoError(error);
    if (written != length) RaiseIoError(kIoDiskFull);
}

void WriteEntry(BuildRun& run, size_t index) {
    const SourceItem& item = run.items[index];
    const std::string& name = item.storedName;
    EntryHeader header{kEntryOrdinary, static_cast<int32_t>(name.size()), item.Size, item.FileTime,
                       item.Attributes};
    if (item.Attributes & kAttrDirectory) {
        header.Size = 0;
        WriteHeader(run, header, name);
        WriteChecksum(run, ByteSum(name.data(), name.size()));
        return;
    }

    if (item.isTarget) return;  // never pack the SFX into itself
    std::string fullPath = run.options.Source + item.nativeName;
    ProgressSink* progress = run.env.progress;
    if (progress) {
        progress->ShowSource(fullPath);
        progress->ProcessMessages();
    }

    platform::File source;
    if (int error = source.OpenRead(fullPath)) RaiseIoError(error);
    if (run.options.ExtractionMode == 1 && platform::PathsEqual(fullPath, run.options.ExecutableFile))
        header.EntryType = kEntryProgram;
    WriteHeader(run, header, name);

    uint32_t checksum = ByteSum(name.data(), name.size());
    int32_t done = 0;
    while (!CancelRequested && done < item.Size) {
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(item.Size - done, kChunkSize));
        size_t got = 0;
        if (int error = source.Read(ReadBuffer(), n, got)) RaiseIoError(error);
        if (got != n) RaiseIoError(kIoReadPastEnd);
        WriteChunk(run, n);
        if (progress) progress->ReportProgress(done, item.Size, run.doneSize, run.totalSize);
        checksum = ByteSum(ReadBuffer(), n, checksum);
        done += static_cast<int32_t>(n);
    }
    WriteChecksum(run, checksum);
    if (int error = source.Close()) RaiseIoError(error);
    if (progress) progress->ReportProgress(item.Size, item.Size, run.doneSize, run.totalSize);
    run.doneSize += item.Size;
}

void WriteHelperEntry(BuildRun& run) {
    std::string_view image = run.env.helperImage;
    int32_t size = static_cast<int32_t>(image.size());
    WriteHeader(run, EntryHeader{kEntryHelper, kHelperEntryNameLength, size, 0, 0}, kHelperEntryName);
    uint32_t checksum = ByteSum(kHelperEntryName, kHelperEntryNameLength);
    for (int32_t done = 0; done < size;) {
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(size - done, kChunkSize));
        std::memcpy(ReadBuffer(), image.data() + done, n);
        WriteChunk(run, n);
        checksum = ByteSum(ReadBuffer(), n, checksum);
        done += static_cast<int32_t>(n);
    }
    WriteChecksum(run, checksum);
}

}  // namespace ql
