// Chunk packing and the content hash, with libdeflate.
#include "builder/engine/pack_chunk.h"

#include <libdeflate.h>

#include "builder/engine/build_errors.h"
#include "builder/resources/texts.h"

namespace ql {

ChunkPacker::ChunkPacker(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (compressor_ == nullptr) throw BuildError(Tr(TextId::PackingFailed));
}

ChunkPacker::~ChunkPacker() { libdeflate_free_compressor(compressor_); }

size_t ChunkPacker::Bound(size_t length) { return libdeflate_zlib_compress_bound(nullptr, length); }

size_t ChunkPacker::Pack(const uint8_t* data, size_t length, uint8_t* out) {
    size_t packed = libdeflate_zlib_compress(compressor_, data, length, out, Bound(length));
    // With Bound's room the stream always fits; 0 would mean a broken library.
    if (packed == 0) throw BuildError(Tr(TextId::PackingFailed));
    return packed;
}

uint32_t ContentHash(uint32_t hash, const void* data, size_t length) {
    return libdeflate_crc32(hash, data, length);
}

}  // namespace ql
