// One chunk of file data as one complete zlib stream, made with libdeflate,
// which packs whole buffers as the chunk format needs them, or of stored
// blocks when the chunk is incompressible; and the CRC-32 of a reproducible
// build, from the same library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "builder/engine/incompressible_probe.h"

struct libdeflate_compressor;

namespace ql {

// The fastest level whose output is no larger than zlib's level 9 on the
// benchmark tree of headers, sources, DLLs, logs and random data
// (bench/build_throughput.sh --levels): level 6 packs 0.2 % larger there.
constexpr int kDefaultCompressionLevel = 7;
// The smallest output libdeflate makes, at a multiple of the time.
constexpr int kSmallestCompressionLevel = 12;
constexpr int kFastestCompressionLevel = 0;  // stored blocks: still a valid stream

// One packer per thread: a packer is not to be shared between threads.
class ChunkPacker {
public:
    // Raises BuildError (TextId::PackingFailed) when the compressor cannot be made.
    explicit ChunkPacker(int level);
    ~ChunkPacker();
    ChunkPacker(const ChunkPacker&) = delete;
    ChunkPacker& operator=(const ChunkPacker&) = delete;

    // The room Pack may need for `length` bytes, at any level.
    static size_t Bound(size_t length);

    // Packs `length` bytes into `out`, which holds Bound(length) bytes, as one
    // zlib stream (RFC 1950, 32 KiB window); returns its length. The same data
    // and level always give the same bytes, on every platform. Data in which
    // deflate finds nothing to gain goes into stored blocks, in a fraction of
    // the time and no larger than zlib's level 9 would make it.
    size_t Pack(const uint8_t* data, size_t length, uint8_t* out);

private:
    libdeflate_compressor* compressor_;
    int level_;
    IncompressibleProbe probe_;
};

// The content hash of a reproducible build (CRC-32), continued over `data`.
uint32_t ContentHash(uint32_t hash, const void* data, size_t length);

}  // namespace ql
