// The probe for incompressible chunks. deflate gains in two ways: Huffman
// codes shorten frequent bytes, and matches replace strings seen within the
// last 32 KiB. Both leave traces that cost far less to find than packing:
//
// - A byte histogram that is far from uniform. Its chi-square statistic
//   (256 * sum(count^2) / n - n) is about 255 for random bytes whatever n is.
//   zlib packs such data in blocks of some 16 KiB, each with its own code,
//   and gains nothing on a block until the statistic is several times larger
//   than the bound used here; it is taken over every aligned 16 KiB. (The
//   statistic of a longer stretch is at most the sum of its parts', and a
//   skewed shorter region inside random bytes gives zlib nothing either.)
// - Recurring strings, sampled at anchors: the positions whose byte has its
//   low six bits clear (one in 64 of random bytes). The anchor test looks at
//   the first byte only, so both copies of a string that begins with such a
//   byte are anchors and are compared with each other. An anchor whose
//   8 bytes were seen at an anchor within the window means a real repeat; a
//   few 3- and 4-byte matches are what random bytes give, many mean data
//   with structure between neighbouring bytes.
//
// Everything is integer arithmetic on the data alone, so every platform and
// every thread gives the same answer for the same bytes.
#include "builder/engine/incompressible_probe.h"

#include <bit>
#include <cstring>

namespace ql {

namespace {

static_assert(std::endian::native == std::endian::little, "matching bytes are counted from the low end");

constexpr size_t kBlock = 16384;            // the stretch whose histogram is tested
constexpr uint64_t kMaxChiSquare = 400;     // random bytes exceed it about twice in 10^8 blocks
constexpr uint32_t kWindow = 32768;         // deflate's match distance
constexpr uint32_t kShortWindow = 4096;     // zlib ignores 3-byte matches farther away
constexpr size_t kBlocksPerMatchCount = 4;  // short matches are counted per 64 KiB,
constexpr unsigned kMaxShortMatches = 5;    // of which random bytes give 0.25 on average
constexpr unsigned kTableBits = 12;
constexpr uint64_t kOnes = 0x0101010101010101ull;

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

struct Histogram {
    uint32_t counts[256];
    uint32_t total;

    bool NearUniform() const {
        uint64_t squares = 0;
        for (uint32_t count : counts) squares += uint64_t{count} * count;
        const uint64_t n = total;
        return 256 * squares <= n * (n + kMaxChiSquare);
    }
};

}  // namespace

struct IncompressibleProbe::Scratch {
    uint32_t anchors[1u << kTableBits];  // the last anchor of each hash, as position + 1; 0 for none
    Histogram block;
    uint32_t shortMatches;
    const uint8_t* data;
    size_t length;

    // False when a string of 8 bytes recurs; counts the short matches.
    bool CompareAnchor(size_t at) {
        uint32_t& slot = anchors[(Load32(data + at) & 0xFFFFFF) * 2654435761u >> (32 - kTableBits)];
        const size_t earlier = slot;
        slot = static_cast<uint32_t>(at + 1);
        if (earlier == 0 || at + 1 - earlier > kWindow) return true;
        const uint64_t difference = Load64(data + at) ^ Load64(data + earlier - 1);
        if (difference == 0) return false;
        const unsigned same = static_cast<unsigned>(std::countr_zero(difference)) / 8;
        if (same >= 4 || (same == 3 && at + 1 - earlier <= kShortWindow)) ++shortMatches;
        return true;
    }

    // The histogram of [begin, end) into `block`, comparing its anchors on the way.
    bool ScanBlock(size_t begin, size_t end) {
        uint32_t counts[4][256] = {};  // four tables, so that equal bytes close together do not stall
        size_t i = begin;
        for (; i + 8 <= end; i += 8) {
            const uint8_t* p = data + i;
            for (int k = 0; k < 8; ++k) ++counts[k & 3][p[k]];
            const uint64_t low = Load64(p) & (0x3F * kOnes);
            uint64_t marks = ~(low + 0x7F * kOnes) & (0x80 * kOnes);  // 0x80 where `low` has a zero byte
            for (; marks != 0; marks &= marks - 1) {
                const size_t at = i + static_cast<size_t>(std::countr_zero(marks)) / 8;
                if (at + 8 <= length && !CompareAnchor(at)) return false;
            }
        }
        for (; i < end; ++i) ++counts[0][data[i]];
        for (int b = 0; b < 256; ++b)
            block.counts[b] = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
        block.total = static_cast<uint32_t>(end - begin);
        return true;
    }
};

IncompressibleProbe::IncompressibleProbe() : scratch_(std::make_unique<Scratch>()) {}

IncompressibleProbe::~IncompressibleProbe() = default;

bool IncompressibleProbe::LooksIncompressible(const uint8_t* data, size_t length) {
    if (length < kMinLength) return false;
    Scratch& s = *scratch_;
    std::memset(s.anchors, 0, sizeof s.anchors);
    s.shortMatches = 0;
    s.data = data;
    s.length = length;
    const size_t blocks = length / kBlock;  // the last one also takes the rest
    for (size_t block = 0; block < blocks; ++block) {
        const bool last = block + 1 == blocks;
        if (!s.ScanBlock(block * kBlock, last ? length : (block + 1) * kBlock)) return false;
        if (!s.block.NearUniform()) return false;
        if ((block + 1) % kBlocksPerMatchCount == 0 || last) {
            if (s.shortMatches > kMaxShortMatches) return false;
            s.shortMatches = 0;
        }
    }
    return true;
}

}  // namespace ql
