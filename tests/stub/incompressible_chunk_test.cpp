// Incompressible chunks: stored rather than packed, still one zlib stream
// that the stub unpacks, and never larger than zlib's level 9; data that only
// looks random byte by byte is still packed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "builder/engine/pack_chunk.h"
#include "shared/container.h"
#include "stub/container_walk.h"

namespace ql::test {
namespace {

std::vector<uint8_t> RandomBytes(size_t length, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() >> 24);
    return bytes;
}

size_t Zlib9Size(const std::vector<uint8_t>& data) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> out(deflateBound(&stream, data.size()));
    stream.next_in = const_cast<uint8_t*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    deflateEnd(&stream);
    return stream.total_out;
}

std::vector<uint8_t> Pack(ChunkPacker& packer, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(ChunkPacker::Bound(data.size()));
    out.resize(packer.Pack(data.data(), data.size(), out.data()));
    return out;
}

// What the stub makes of the stream, or the error code in `error`.
std::vector<uint8_t> Unpack(const std::vector<uint8_t>& packed, size_t length, uint32_t& error) {
    std::vector<uint8_t> out;
    auto collect = [](void* context, const uint8_t* bytes, uint32_t n) -> uint32_t {
        static_cast<std::vector<uint8_t>*>(context)->insert(
            static_cast<std::vector<uint8_t>*>(context)->end(), bytes, bytes + n);
        return 0;
    };
    error = stub::InflateChunk(packed.data(), static_cast<uint32_t>(packed.size()),
                               static_cast<uint32_t>(length), collect, &out);
    return out;
}

TEST(IncompressibleChunks, RandomBytesAreStoredNoLargerThanZlib9AndUnpackExactly) {
    ChunkPacker packer(kDefaultCompressionLevel);
    // A full chunk, one of whole stored blocks, the shortest that is looked at.
    for (size_t length : {size_t{kChunkSize}, size_t{5 * 65535}, IncompressibleProbe::kMinLength}) {
        const std::vector<uint8_t> data = RandomBytes(length, static_cast<uint32_t>(length));
        const std::vector<uint8_t> packed = Pack(packer, data);
        const size_t blocks = (length + 65534) / 65535;
        EXPECT_EQ(packed.size(), 2 + 5 * blocks + length + 4) << length << " bytes: stored blocks";
        EXPECT_LE(packed.size(), Zlib9Size(data)) << length;
        uint32_t error = 1;
        EXPECT_TRUE(Unpack(packed, length, error) == data) << length;
        EXPECT_EQ(error, 0u) << length;
    }
}

TEST(IncompressibleChunks, DataThatDeflateCanShortenIsStillPacked) {
    ChunkPacker packer(kDefaultCompressionLevel);
    const size_t length = 1 << 20;
    // Random bytes whose 3 KiB recur 20 KiB later: a uniform histogram, but matches.
    std::vector<uint8_t> repeats = RandomBytes(length, 3);
    for (size_t at = 0; at + 23 * 1024 <= length; at += 64 * 1024)
        std::copy_n(repeats.begin() + at, 3 * 1024, repeats.begin() + at + 20 * 1024);
    // Every byte value equally often, each byte close to a function of the one before.
    std::mt19937 random(5);
    std::vector<uint8_t> successor(256);
    std::iota(successor.begin(), successor.end(), 0);
    std::shuffle(successor.begin(), successor.end(), random);
    std::vector<uint8_t> neighbours(length);
    for (size_t i = 1; i < length; ++i) neighbours[i] = successor[neighbours[i - 1]] ^ (random() & 15);
    // Random bytes but for 4 KiB that use only half of the byte values.
    std::vector<uint8_t> region = RandomBytes(length, 6);
    for (size_t i = 400 * 1024; i < 404 * 1024; ++i) region[i] &= 0xBF;
    // A mild skew of the whole: 4 of the 256 byte values never occur.
    std::vector<uint8_t> mild(length);
    for (uint8_t& b : mild) b = static_cast<uint8_t>(random() % 252 + 4);
    for (const auto& data : {repeats, neighbours, region, mild}) {
        const std::vector<uint8_t> packed = Pack(packer, data);
        EXPECT_LT(packed.size(), length) << "packed, not stored";
        uint32_t error = 1;
        EXPECT_TRUE(Unpack(packed, length, error) == data);
        EXPECT_EQ(error, 0u);
    }
}

}  // namespace
}  // namespace ql::test
