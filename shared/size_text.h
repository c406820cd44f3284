// Byte counts as short texts ("1.3 kB", "4.00 MB"), shared by the builder's
// progress line and the stub's disk-space message. Freestanding: no runtime,
// no floating-point formatting, so the stub can use it without a C library.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ql {

// Longest text FormatSizeText writes, with its terminating zero, for a decimal
// separator of up to 4 bytes: "-8388608.0000 TB".
constexpr size_t kSizeTextCapacity = 32;

// Writes `count` in the largest unit its magnitude reaches (TB with 4 decimals,
// GB 3, MB 2, kB 1, B none), rounded half away from zero, with `decimalSeparator`
// (its first 4 bytes at most) between the whole and the decimal digits, no
// grouping, and the minus sign of a negative count. The unit is chosen before
// rounding, so 1,048,575 bytes read "1024.0 kB". The rounding is exact: the
// value is count / 2^(10·k), split into its whole part and a remainder below
// 2^(10·k), so no binary fraction leaks in.
// Writes at most `capacity` bytes including the zero; returns the text length.
inline size_t FormatSizeText(int64_t count, const char* decimalSeparator, char* out, size_t capacity) {
    const uint64_t magnitude = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    int unit = 0;
    while (unit < 4 && (magnitude >> (10 * (unit + 1))) != 0) ++unit;
    const int decimals = unit;  // B 0, kB 1, MB 2, GB 3, TB 4
    uint32_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;

    // magnitude / 2^shift, rounded half away from zero to `decimals` places, as
    // a whole part (below 2^24) and decimals (below scale): 32-bit digits, as a
    // 64-bit division would be a runtime call in a 32-bit program. The
    // remainder times 10^4 stays below 2^54.
    const int shift = 10 * unit;
    const uint64_t mask = (uint64_t{1} << shift) - 1;
    const uint64_t remainder = (magnitude & mask) * scale;
    uint32_t whole = static_cast<uint32_t>(magnitude >> shift);
    uint32_t fraction = static_cast<uint32_t>(remainder >> shift);
    if (shift > 0 && ((remainder & mask) << 1) >= (uint64_t{1} << shift) && ++fraction == scale) {
        fraction = 0;
        ++whole;
    }

    // Back to front: unit, decimals, separator, whole part, sign.
    char text[kSizeTextCapacity + 8];
    char* p = text + sizeof text;
    *--p = 'B';
    if (unit) *--p = " kMGT"[unit];
    *--p = ' ';
    for (int i = 0; i < decimals; ++i, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
    if (decimals) {
        const char* s = decimalSeparator;
        size_t n = 0;
        while (n < 4 && s[n]) ++n;
        while (n) *--p = s[--n];
    }
    do *--p = static_cast<char>('0' + whole % 10);
    while ((whole /= 10) != 0);
    if (count < 0) *--p = '-';

    size_t length = 0;
    for (; p + length < text + sizeof text && length + 1 < capacity; ++length) out[length] = p[length];
    if (capacity > 0) out[length] = '\0';
    return length;
}

}  // namespace ql
