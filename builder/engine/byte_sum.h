// The builder's ByteSum of file data: the same value as shared/container.h
// gives, a machine word at a time. The stub keeps the plain byte loop, which
// costs it fewer bytes of code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "shared/container.h"

namespace ql {

inline uint32_t WideByteSum(const void* data, size_t length, uint32_t start = 0) {
    using Word = size_t;                                  // 4 or 8 bytes: what the machine adds in one step
    constexpr Word kLowBytes = ~Word{0} / 0xFFFF * 0xFF;  // 0x00FF00FF...: every other byte
    // A 16-bit lane gains at most 2 * 255 per word, so 128 words fit in it.
    constexpr size_t kWordsPerRound = 128;
    constexpr size_t kRound = kWordsPerRound * sizeof(Word);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t sum = start;
    for (; length >= kRound; p += kRound, length -= kRound) {
        Word lanes = 0;
        for (size_t i = 0; i < kWordsPerRound; ++i) {
            Word word;
            std::memcpy(&word, p + i * sizeof word, sizeof word);
            lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
        }
        for (size_t lane = 0; lane < sizeof(Word) / 2; ++lane) sum += (lanes >> (16 * lane)) & 0xFFFF;
    }
    return ByteSum(p, length, sum);
}

}  // namespace ql
