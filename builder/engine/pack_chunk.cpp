// Chunk packing and the content hash, with libdeflate.
#include "builder/engine/pack_chunk.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

#include "builder/engine/build_errors.h"
#include "builder/resources/texts.h"
#include "shared/container.h"

namespace ql {

namespace {

constexpr size_t kMaxStoredBlock = 65535;
constexpr size_t kStoredBlockHeader = 5;  // final flag and type in one byte, LEN, NLEN
constexpr size_t kZlibHeader = 2, kZlibTrailer = 4;
constexpr uint8_t kMethod = 0x78;  // deflate with a 32 KiB window
constexpr uint8_t kFlags = 0x01;   // the fastest method, no dictionary, and the header check
static_assert((kMethod << 8 | kFlags) % 31 == 0, "the zlib header's check bits");

size_t StoredSize(size_t length) {
    const size_t blocks = std::max<size_t>(1, (length + kMaxStoredBlock - 1) / kMaxStoredBlock);
    return kZlibHeader + blocks * kStoredBlockHeader + length + kZlibTrailer;
}

// The bytes as one zlib stream of stored blocks; StoredSize(length) bytes.
size_t StoreChunk(const uint8_t* data, size_t length, uint8_t* out) {
    uint8_t* p = out;
    *p++ = kMethod;
    *p++ = kFlags;
    size_t done = 0;
    do {
        const size_t block = std::min(length - done, kMaxStoredBlock);
        *p++ = done + block == length ? 1 : 0;  // final flag; block type 00: stored
        WriteLE16(p, static_cast<uint16_t>(block));
        WriteLE16(p + 2, static_cast<uint16_t>(~block));
        std::memcpy(p + 4, data + done, block);
        p += 4 + block;
        done += block;
    } while (done < length);
    const uint32_t adler = libdeflate_adler32(1, data, length);
    for (int shift = 24; shift >= 0; shift -= 8) *p++ = static_cast<uint8_t>(adler >> shift);  // big-endian
    return static_cast<size_t>(p - out);
}

}  // namespace

ChunkPacker::ChunkPacker(int level) : compressor_(libdeflate_alloc_compressor(level)), level_(level) {
    if (compressor_ == nullptr) throw BuildError(Tr(TextId::PackingFailed));
}

ChunkPacker::~ChunkPacker() { libdeflate_free_compressor(compressor_); }

size_t ChunkPacker::Bound(size_t length) {
    return std::max(libdeflate_zlib_compress_bound(nullptr, length), StoredSize(length));
}

size_t ChunkPacker::Pack(const uint8_t* data, size_t length, uint8_t* out) {
    // Level 0 makes stored blocks itself.
    if (level_ != kFastestCompressionLevel && probe_.LooksIncompressible(data, length))
        return StoreChunk(data, length, out);
    size_t packed = libdeflate_zlib_compress(compressor_, data, length, out, Bound(length));
    // With Bound's room the stream always fits; 0 would mean a broken library.
    if (packed == 0) throw BuildError(Tr(TextId::PackingFailed));
    return packed;
}

uint32_t ContentHash(uint32_t hash, const void* data, size_t length) {
    return libdeflate_crc32(hash, data, length);
}

}  // namespace ql
