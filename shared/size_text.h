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
// between the whole and the decimal digits, no grouping, and the minus sign of a
// negative count. The unit is chosen before rounding, so 1,048,575 bytes read
// "1024.0 kB". The rounding is exact: the value is count / 2^(10·k), split into
// its whole part and a remainder below 2^(10·k), so no binary fraction leaks in.
// Writes at most `capacity` bytes including the zero; returns the text length.
inline size_t FormatSizeText(int64_t count, const char* decimalSeparator, char* out, size_t capacity) {
    static const char* const kUnits[] = {" B", " kB", " MB", " GB", " TB"};
    const uint64_t magnitude = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    int unit = 0;
    while (unit < 4 && magnitude >= (uint64_t{1} << (10 * (unit + 1)))) ++unit;
    const int decimals = unit;  // B 0, kB 1, MB 2, GB 3, TB 4
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;

    // magnitude / 2^shift * scale, rounded half away from zero, without overflow:
    // the whole part is below 2^24 and the remainder times 10^4 below 2^54.
    const int shift = 10 * unit;
    const uint64_t mask = (uint64_t{1} << shift) - 1;
    const uint64_t remainder = (magnitude & mask) * scale;
    uint64_t scaled = (magnitude >> shift) * scale + (remainder >> shift);
    if (shift > 0 && ((remainder & mask) << 1) >= (uint64_t{1} << shift)) ++scaled;

    char digits[24];
    int n = 0;
    for (uint64_t v = scaled; n == 0 || v != 0 || n <= decimals; v /= 10)
        digits[n++] = static_cast<char>('0' + v % 10);

    size_t length = 0;
    auto put = [&](char c) {
        if (length + 1 < capacity) out[length++] = c;
    };
    if (count < 0) put('-');
    for (int i = n - 1; i >= 0; --i) {
        if (i == decimals - 1)
            for (const char* s = decimalSeparator; *s; ++s) put(*s);
        put(digits[i]);
    }
    for (const char* s = kUnits[unit]; *s; ++s) put(*s);
    if (capacity > 0) out[length] = '\0';
    return length;
}

}  // namespace ql
